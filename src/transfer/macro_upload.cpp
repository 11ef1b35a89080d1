#include "transfer/macro_upload.h"

#include "device/device_commands.h"

namespace talvo::transfer {

MacroUploadResults UploadMacroImage(device::CDeviceLink& link, std::span<const uint8_t> image, unsigned profile,
                                    const keys::KeyMapRecord& keyMap) {
  MacroUploadResults results;
  if (!image.empty()) {
    results.imageBegin = device::BeginTransfer(link);
    results.image = device::WriteMacroImage(link, image);
    results.imageEnd = device::EndTransfer(link);
    if (results.ImageFailed()) return results;
  }
  results.mapBegin = device::BeginTransfer(link);
  results.map = device::WriteKeyMap(link, profile, keyMap);
  results.mapEnd = device::EndTransfer(link);
  return results;
}

}  // namespace talvo::transfer
