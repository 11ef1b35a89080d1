#include "app/devices/device_room.h"

#include <chrono>
#include <future>
#include <memory>

namespace talvo::app::devices {

DeviceRoom::DeviceRoom(device::Peripheral peripheral, size_t leds, platform::HidBackend& backend,
                       RoomContext& context)
    : traits_(pages::TraitsOf(peripheral)), c_(context), session_(backend), direct_(leds, context.lightingGates) {
  Link().SetPresenceSignal(&c_.lightingGates);
  fullReadTimer_.setSingleShot(true);
  QObject::connect(&fullReadTimer_, &QTimer::timeout, [this] { ReadEverything(); });
}

void DeviceRoom::ReadEverythingAfter(int delayMs) { fullReadTimer_.start(delayMs); }

void DeviceRoom::PostToUi(std::function<void()> work) {
  c_.toolkit.Post([alive = alive_, work = std::move(work)] {
    if (*alive) work();
  });
}

bool DeviceRoom::ReadOnUiThreadAndWait(std::function<void(std::function<void()> applied)> read,
                                       std::stop_token stop) {
  auto applied = std::make_shared<std::promise<void>>();
  std::future<void> done = applied->get_future();
  if (!c_.toolkit.Send([read = std::move(read), applied] { read([applied] { applied->set_value(); }); }, stop))
    return false;
  while (!stop.stop_requested() && done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
  }
  return true;
}

}  // namespace talvo::app::devices
