#include "pages/macros/macro_store.h"

#include <memory>

#include "macros/macro_image.h"
#include "pages/message_text.h"
#include "platform/debug.h"
#include "transfer/cursor_upload.h"
#include "transfer/macro_upload.h"

namespace talvo::macros::pages {

void MarkKeyFiles(profiles::ProfileSaver& saver, device::Peripheral peripheral) {
  if (peripheral == device::Peripheral::Keyboard) saver.Mark(peripheral, profiles::ProfileKind::Key);
  saver.Mark(peripheral, profiles::ProfileKind::Device);
}

void StoreProfileOnDevice(toolkit::Window& window, ::talvo::pages::SequenceRunner& runner,
                          profiles::ProfileSaver& saver, StoreTarget target) {
  MacroImagePlan plan = PlanMacroImage(ReadAllMacros(target.peripheral, target.folder), target.info);
  const bool fits = plan.status != MacroImagePlan::kTooLarge;
  if (!fits) ::talvo::pages::ShowNumberedMessage(window, "message_text_16", static_cast<long long>(plan.stepsOver));
  if (!fits && target.cursorImage.empty()) {
    if (target.finished) target.finished();
    return;
  }
  auto results = std::make_shared<transfer::MacroUploadResults>();
  runner.Run(
      target.session, true,
      [results, fits, cursor = std::move(target.cursorImage), image = std::move(plan.image),
       profile = target.profile, map = target.keyMap](device::CDeviceLink& link) {
        transfer::UploadCursorImage(link, cursor);
        if (fits) *results = transfer::UploadMacroImage(link, image, profile, map);
      },
      [&window, &saver, results, fits, peripheral = target.peripheral,
       finished = std::move(target.finished)](device::DeviceSession::Outcome outcome) {
        if (finished) finished();
        if (!fits) return;
        MarkKeyFiles(saver, peripheral);
        if (outcome == device::DeviceSession::Outcome::Absent) return;
        if (results->ImageFailed() || outcome == device::DeviceSession::Outcome::Cut) {
          debug::Line("macro: the device did not take the macro image");
          window.GetToolkit().ShowMessage(&window, "message_text_24");
        }
      });
}

}  // namespace talvo::macros::pages
