#include "device/notification_listener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/device_report.h"
#include "fake_hid.h"
#include "sim/simulated_backend.h"

namespace talvo::device {
namespace {

using platform::HidIo;
using sim::Collection;
using sim::DeviceKind;
using sim::SimulatedBackend;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kPatience{3000};  // only ever waited out when a test fails

// The simulated devices, with a record of the opens and of every read the
// listener starts and how it ended.
class SpyBackend : public platform::HidBackend {
 public:
  SpyBackend() { sim.SetLatency(std::chrono::microseconds(0)); }

  bool Enumerate(std::vector<platform::HidInterfaceInfo>& out) override { return sim.Enumerate(out); }
  std::unique_ptr<platform::HidHandle> Open(const std::string& path, const platform::HidOpenRequest& request,
                                            platform::HidOpenError* error) override {
    auto inner = sim.Open(path, request, error);
    if (!inner) return nullptr;
    // Counted once the handle exists: notifications sent from now on reach it.
    Update([&] { ++opens[path]; });
    return std::make_unique<Handle>(std::move(inner), *this);
  }
  bool Exists(const std::string& path) override { return sim.Exists(path); }
  bool WaitForChange(std::stop_token stop, milliseconds timeout) override {
    return sim.WaitForChange(std::move(stop), timeout);
  }

  template <typename Predicate>
  bool WaitUntil(Predicate ready) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, kPatience, ready);
  }
  template <typename Read>
  auto Get(Read read) {
    std::lock_guard lock(mutex);
    return read();
  }

  sim::SimulatedBackend sim;
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::string, int> opens;
  int readsStarted = 0;
  std::vector<HidIo> readEnds;

 private:
  class Handle : public platform::HidHandle {
   public:
    Handle(std::unique_ptr<platform::HidHandle> inner, SpyBackend& spy) : inner_(std::move(inner)), spy_(spy) {}
    uint16_t VendorId() const override { return inner_->VendorId(); }
    uint16_t ProductId() const override { return inner_->ProductId(); }
    std::span<const uint8_t> ReportDescriptor() const override { return inner_->ReportDescriptor(); }
    size_t CollectionIndex() const override { return inner_->CollectionIndex(); }
    HidIo Write(std::span<const uint8_t> report, int timeoutMs, platform::AbortEvent& abort,
                size_t& written) override {
      return inner_->Write(report, timeoutMs, abort, written);
    }
    HidIo Read(std::span<uint8_t> buffer, int timeoutMs, platform::AbortEvent& abort, size_t& got) override {
      spy_.Update([this] { ++spy_.readsStarted; });
      const HidIo end = inner_->Read(buffer, timeoutMs, abort, got);
      spy_.Update([this, end] { spy_.readEnds.push_back(end); });
      return end;
    }

   private:
    std::unique_ptr<platform::HidHandle> inner_;
    SpyBackend& spy_;
  };

  template <typename Change>
  void Update(Change change) {
    std::lock_guard lock(mutex);
    change();
    changed.notify_all();
  }
};

// Records the usages handed over; can hold the listener inside the handler.
class RecordingHandler {
 public:
  void operator()(uint16_t usage) {
    std::unique_lock lock(mutex_);
    usages_.push_back(usage);
    changed_.notify_all();
    changed_.wait(lock, [this] { return !holding_; });
  }

  void Hold() {
    std::lock_guard lock(mutex_);
    holding_ = true;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    holding_ = false;
    changed_.notify_all();
  }
  bool WaitForCount(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return usages_.size() >= count; });
  }
  std::vector<uint16_t> Usages() {
    std::lock_guard lock(mutex_);
    return usages_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint16_t> usages_;
  bool holding_ = false;
};

class NotificationListenerTest : public ::testing::Test {
 protected:
  ~NotificationListenerTest() override {
    handler.Release();
    listener.request_stop();
  }

  void Start(ListenerKind kind) {
    listener = std::jthread([this, kind](std::stop_token stop) {
      RunNotificationListener(stop, backend, kind, [this](uint16_t usage) { handler(usage); });
    });
  }
  // Plugs the device in and waits until the listener holds its notification
  // interface (the `nth` time), so notifications sent from now on reach it.
  void PlugAndWaitForListener(DeviceKind kind, int nth = 1) {
    backend.sim.Plug(kind);
    const std::string path = SimulatedBackend::PathOf(kind, Collection::Notification);
    ASSERT_TRUE(backend.WaitUntil([&] { return backend.opens[path] >= nth; }));
  }
  double StopMs() {
    const auto start = Clock::now();
    listener.request_stop();
    listener.join();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }

  SpyBackend backend;
  RecordingHandler handler;
  std::jthread listener;
};

TEST_F(NotificationListenerTest, NotificationIsHandedOverAndNothingIsReadUntilTheHandlerReturns) {
  Start(ListenerKind::Mouse);
  PlugAndWaitForListener(DeviceKind::Mouse);
  sim::SimDevice& mouse = backend.sim.Device(DeviceKind::Mouse);

  handler.Hold();
  ASSERT_TRUE(mouse.Notify(kUsageEverythingChanged));
  ASSERT_TRUE(handler.WaitForCount(1));
  const int readsAtEntry = backend.Get([&] { return backend.readsStarted; });
  ASSERT_TRUE(mouse.Notify(kUsageSettingsChanged));
  std::this_thread::sleep_for(milliseconds(150));
  EXPECT_EQ(backend.Get([&] { return backend.readsStarted; }), readsAtEntry);
  EXPECT_EQ(handler.Usages(), std::vector<uint16_t>{kUsageEverythingChanged});

  handler.Release();
  ASSERT_TRUE(handler.WaitForCount(2));
  EXPECT_EQ(handler.Usages(), (std::vector<uint16_t>{kUsageEverythingChanged, kUsageSettingsChanged}));
}

TEST_F(NotificationListenerTest, MouseHandlesItsThreeUsagesOnly) {
  Start(ListenerKind::Mouse);
  PlugAndWaitForListener(DeviceKind::Mouse);
  sim::SimDevice& mouse = backend.sim.Device(DeviceKind::Mouse);
  // Every notification is followed by a release report with usage 0.
  for (uint16_t usage : {0x123, 0x404, 0x401, 0x400, 0x403, 0x402}) ASSERT_TRUE(mouse.Notify(usage));
  ASSERT_TRUE(handler.WaitForCount(3));
  // Reports are read in order, so a later one being handled means the
  // earlier ones were passed over.
  ASSERT_TRUE(mouse.Notify(kUsageSettingsChanged));
  ASSERT_TRUE(handler.WaitForCount(4));
  EXPECT_EQ(handler.Usages(), (std::vector<uint16_t>{0x401, 0x403, 0x402, 0x401}));
}

TEST_F(NotificationListenerTest, KeyboardIgnoresTheFlashUsage) {
  Start(ListenerKind::Keyboard);
  PlugAndWaitForListener(DeviceKind::Keyboard);
  sim::SimDevice& keyboard = backend.sim.Device(DeviceKind::Keyboard);
  for (uint16_t usage : {0x403, 0x401, 0x403, 0x402}) ASSERT_TRUE(keyboard.Notify(usage));
  ASSERT_TRUE(handler.WaitForCount(2));
  ASSERT_TRUE(keyboard.Notify(kUsageSettingsChanged));
  ASSERT_TRUE(handler.WaitForCount(3));
  EXPECT_EQ(handler.Usages(), (std::vector<uint16_t>{0x401, 0x402, 0x401}));
}

TEST_F(NotificationListenerTest, ListenerFollowsOnlyItsOwnDevice) {
  Start(ListenerKind::Keyboard);
  backend.sim.Plug(DeviceKind::Mouse);
  PlugAndWaitForListener(DeviceKind::Keyboard);
  EXPECT_EQ(backend.Get([&] { return backend.opens[SimulatedBackend::PathOf(DeviceKind::Mouse, Collection::Notification)]; }), 0);
  ASSERT_TRUE(backend.sim.Device(DeviceKind::Mouse).Notify(kUsageEverythingChanged));
  ASSERT_TRUE(backend.sim.Device(DeviceKind::Keyboard).Notify(kUsageSettingsChanged));
  ASSERT_TRUE(handler.WaitForCount(1));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(handler.Usages(), std::vector<uint16_t>{kUsageSettingsChanged});
}

TEST_F(NotificationListenerTest, UnplugReturnsToIdleAndReplugListensAgain) {
  Start(ListenerKind::Mouse);
  PlugAndWaitForListener(DeviceKind::Mouse);

  backend.sim.Unplug(DeviceKind::Mouse);
  // The read fails, the probe finds the device gone, and listening ends.
  ASSERT_TRUE(backend.WaitUntil([&] { return !backend.readEnds.empty() && backend.readEnds.back() == HidIo::Failed; }));

  const auto replugged = Clock::now();
  PlugAndWaitForListener(DeviceKind::Mouse, 2);
  std::printf("[ listener ] replug to listening: %.1f ms\n",
              std::chrono::duration<double, std::milli>(Clock::now() - replugged).count());
  ASSERT_TRUE(backend.sim.Device(DeviceKind::Mouse).Notify(kUsageEverythingChanged));
  ASSERT_TRUE(handler.WaitForCount(1));
  EXPECT_EQ(handler.Usages(), std::vector<uint16_t>{kUsageEverythingChanged});
}

TEST_F(NotificationListenerTest, QuietDeviceKeepsTheListenerListening) {
  Start(ListenerKind::Mouse);
  PlugAndWaitForListener(DeviceKind::Mouse);
  // Two read time-outs in a row are no detach.
  ASSERT_TRUE(backend.WaitUntil([&] { return backend.readEnds.size() >= 2; }));
  EXPECT_EQ(backend.Get([&] { return backend.readEnds; }), (std::vector<HidIo>{HidIo::TimedOut, HidIo::TimedOut}));
  EXPECT_EQ(backend.Get([&] { return backend.opens[SimulatedBackend::PathOf(DeviceKind::Mouse, Collection::Notification)]; }), 1);
}

TEST_F(NotificationListenerTest, StopEndsAListenerWaitingOnASilentMouseAtOnce) {
  Start(ListenerKind::Mouse);
  PlugAndWaitForListener(DeviceKind::Mouse);
  ASSERT_TRUE(backend.WaitUntil([&] { return backend.readsStarted > static_cast<int>(backend.readEnds.size()); }));
  std::this_thread::sleep_for(milliseconds(20));

  const double ms = StopMs();
  std::printf("[ listener ] stop while reading: %.1f ms\n", ms);
  EXPECT_LT(ms, 1500.0);
  // The read in progress was cut short rather than left to time out.
  EXPECT_EQ(backend.Get([&] { return backend.readEnds.back(); }), HidIo::Aborted);
}

TEST_F(NotificationListenerTest, StopEndsAnIdleListener) {
  Start(ListenerKind::Keyboard);
  std::this_thread::sleep_for(milliseconds(150));
  const double ms = StopMs();
  std::printf("[ listener ] stop while idle: %.1f ms\n", ms);
  EXPECT_LT(ms, 1500.0);
}

TEST(NotificationListener, EnumerationFailureEndsTheListener) {
  testing::FakeBackend backend;
  backend.failEnumerate = true;
  std::stop_source never;
  auto ended = std::async(std::launch::async, [&] {
    RunNotificationListener(never.get_token(), backend, ListenerKind::Mouse, [](uint16_t) {});
  });
  EXPECT_EQ(ended.wait_for(kPatience), std::future_status::ready);
}

}  // namespace
}  // namespace talvo::device
