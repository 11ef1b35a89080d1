#include "app/devices/device_room.h"

#include <chrono>
#include <future>
#include <memory>
#include <utility>

namespace talvo::app::devices {

DeviceRoom::DeviceRoom(device::Peripheral peripheral, platform::HidBackend& backend, RoomContext& context)
    : traits_(pages::TraitsOf(peripheral)), c_(context), session_(backend), direct_(traits_.leds, lightingWake_) {
  c_.lightingGates.Join(lightingWake_);
  Link().SetPresenceSignal(&c_.lightingGates);
  fullReadTimer_.setSingleShot(true);
  // Precise, as the window's one-shot timers are: a coarse one may end 5 % early,
  // before the mousepad has settled after a reset.
  fullReadTimer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&fullReadTimer_, &QTimer::timeout, [this] { ReadEverything(); });
}

DeviceRoom::~DeviceRoom() {
  *alive_ = false;
  c_.lightingGates.Leave(lightingWake_);
}

const std::vector<toolkit::Control*>& DeviceRoom::PreviewControls() {
  if (!std::exchange(previewFound_, true))
    for (size_t i = 0; i < traits_.leds; ++i) {
      toolkit::Control* c = c_.window.FindControl(previewPrefix_ + std::to_string(i));
      previewControls_.push_back(c);
      previewShown_.push_back(c ? Tint{c->ChangerColor(), c->ChangerAlpha()} : Tint{});
    }
  return previewControls_;
}

void DeviceRoom::ShowPreview(std::span<const uint32_t> colour, std::span<const uint8_t> alpha) {
  // The mouse's and the mousepad's pictures are on their lighting pages: a
  // page not built yet has no one to show a frame to. Once the controls are
  // found the page is built for good, and a frame asks no more.
  if (!previewFound_ && !c_.window.IsPageBuilt(traits_.lightingPage)) return;
  const std::vector<toolkit::Control*>& controls = PreviewControls();
  // None of them shows while their page is hidden: one look at the page
  // spares one at each of them.
  if (!lightingPageControl_) lightingPageControl_ = c_.window.FindControl(traits_.lightingPage);
  if (lightingPageControl_ && !lightingPageControl_->IsVisibleInWindow()) return;
  for (size_t i = 0; i < controls.size() && i < colour.size() && i < alpha.size(); ++i) {
    toolkit::Control* c = controls[i];
    // Preview colours come packed as page colours; the controls' tint is ARGB.
    const Tint tint{toolkit::ArgbOfPageColour(colour[i]), alpha[i]};
    if (!c || previewShown_[i] == tint || !c->IsVisibleInWindow()) continue;
    // The controls repaint themselves when their tint changes.
    c->SetChangerColor(tint.colour);
    c->SetChangerAlpha(tint.alpha);
    previewShown_[i] = tint;
  }
}

void DeviceRoom::ReadEverythingAfter(int delayMs) { fullReadTimer_.start(delayMs); }

void DeviceRoom::PostToUi(std::function<void()> work) {
  c_.toolkit.Post([alive = alive_, work = std::move(work)] {
    if (*alive) work();
  });
}

void DeviceRoom::ReadOnUiThreadAndWait(std::function<void(std::function<void()> applied)> read,
                                       std::stop_token stop) {
  auto applied = std::make_shared<std::promise<void>>();
  std::future<void> done = applied->get_future();
  if (!c_.toolkit.Send([read = std::move(read), applied] { read([applied] { applied->set_value(); }); }, stop))
    return;
  while (!stop.stop_requested() && done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
  }
}

}  // namespace talvo::app::devices
