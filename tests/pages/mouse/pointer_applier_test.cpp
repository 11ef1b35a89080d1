#include "pages/mouse/pointer_applier.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace talvo::mouse {
namespace {

using namespace std::chrono_literals;

// A desktop that holds every request until the test lets it go, and keeps
// the order in which values arrived.
class GatedSettings final : public platform::PointerSettings {
 public:
  std::string_view Name() const override { return "gated"; }
  bool CanSetSpeed() const override { return true; }
  bool CanSetWheelLines() const override { return true; }
  bool ApplySpeed(int speed) override { return Take(speeds_, speed); }
  bool ApplyWheelLines(int lines) override { return Take(lines_, lines); }

  void Close() {
    std::lock_guard lock(m_);
    open_ = false;
  }
  void Open() {
    {
      std::lock_guard lock(m_);
      open_ = true;
    }
    cv_.notify_all();
  }
  // Waits until a request is held at the gate.
  bool WaitForWaiter() {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, 5s, [this] { return waiting_ > 0; });
  }
  std::vector<int> Speeds() {
    std::lock_guard lock(m_);
    return speeds_;
  }
  std::vector<int> Lines() {
    std::lock_guard lock(m_);
    return lines_;
  }

 private:
  bool Take(std::vector<int>& into, int value) {
    std::unique_lock lock(m_);
    ++waiting_;
    cv_.notify_all();
    cv_.wait(lock, [this] { return open_; });
    --waiting_;
    into.push_back(value);
    return true;
  }

  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = true;
  int waiting_ = 0;
  std::vector<int> speeds_;
  std::vector<int> lines_;
};

TEST(PointerApplierTest, ProfileSpeedIsClampedAndStoredBeforeItIsApplied) {
  GatedSettings desktop;
  lighting::MouseLighting mouse;
  PointerApplier applier(desktop, mouse);

  mouse.SetPointerSpeed(0);
  applier.ApplyPointerSpeed();
  applier.WaitIdle();
  EXPECT_EQ(mouse.pointerSpeed(), 1);

  mouse.SetPointerSpeed(40);
  applier.ApplyPointerSpeed();
  applier.WaitIdle();
  EXPECT_EQ(mouse.pointerSpeed(), 20);

  mouse.SetPointerSpeed(14);
  applier.ApplyPointerSpeed();
  applier.WaitIdle();
  EXPECT_EQ(mouse.pointerSpeed(), 14);
  EXPECT_EQ(desktop.Speeds(), (std::vector<int>{1, 20, 14}));
}

TEST(PointerApplierTest, GivenValuesLeaveTheProfileAlone) {
  GatedSettings desktop;
  lighting::MouseLighting mouse;
  mouse.SetPointerSpeed(30);
  mouse.SetWheelLines(9);
  PointerApplier applier(desktop, mouse);

  applier.SetSpeed(10);
  applier.SetWheelLines(3);
  applier.WaitIdle();
  EXPECT_EQ(desktop.Speeds(), std::vector<int>{10});
  EXPECT_EQ(desktop.Lines(), std::vector<int>{3});
  EXPECT_EQ(mouse.pointerSpeed(), 30);
  EXPECT_EQ(mouse.wheelLines(), 9);
}

TEST(PointerApplierTest, ASlowDesktopNeverHoldsTheCallerAndEndsWithTheLatestValue) {
  GatedSettings desktop;
  lighting::MouseLighting mouse;
  PointerApplier applier(desktop, mouse);

  desktop.Close();
  mouse.SetWheelLines(5);
  applier.ApplyWheelLines();
  ASSERT_TRUE(desktop.WaitForWaiter());

  // The desktop is still busy with 5: these return at once, and only the
  // last of them reaches the desktop afterwards.
  const auto start = std::chrono::steady_clock::now();
  mouse.SetWheelLines(6);
  applier.ApplyWheelLines();
  mouse.SetWheelLines(7);
  applier.ApplyWheelLines();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);

  desktop.Open();
  applier.WaitIdle();
  EXPECT_EQ(desktop.Lines(), (std::vector<int>{5, 7}));
}

TEST(PointerApplierTest, RequestsStillWaitingAreAppliedOnDestruction) {
  GatedSettings desktop;
  lighting::MouseLighting mouse;
  {
    PointerApplier applier(desktop, mouse);
    desktop.Close();
    applier.SetSpeed(4);
    ASSERT_TRUE(desktop.WaitForWaiter());
    applier.SetSpeed(18);
    applier.SetWheelLines(12);
    desktop.Open();
  }
  EXPECT_EQ(desktop.Speeds(), (std::vector<int>{4, 18}));
  EXPECT_EQ(desktop.Lines(), std::vector<int>{12});
}

}  // namespace
}  // namespace talvo::mouse
