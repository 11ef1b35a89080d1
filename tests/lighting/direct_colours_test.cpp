#include "lighting/direct_colours.h"

#include <gtest/gtest.h>

#include <vector>

#include "lighting/lighting_threads.h"
#include "lighting/mousepad_effects.h"

namespace talvo::lighting {
namespace {

TEST(DirectColoursTest, SetsAreBoundedToTheLedsAndPendingOnlyWhileOn) {
  platform::WakeSignal gates;
  DirectColours direct(3, gates);
  direct.Set(1, std::vector<Rgb>(5, Rgb{1, 2, 3}));
  direct.Set(7, std::vector<Rgb>(2, Rgb{9, 9, 9}));
  EXPECT_FALSE(direct.Pending()) << "pending while off";
  direct.SetOn(true);
  EXPECT_TRUE(direct.Pending()) << "turning on shows the colours held";
  const std::vector<Rgb> taken = direct.Take();
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(taken[2], (Rgb{1, 2, 3}));
  EXPECT_FALSE(direct.Pending());
  direct.Set(0, std::vector<Rgb>(1, Rgb{4, 5, 6}));
  EXPECT_TRUE(direct.Pending());
}

TEST(DirectColoursTest, SetsBeforeTheThreadTakesOneWakeItOnceAndItTakesTheLatest) {
  platform::WakeSignal wake;
  DirectColours direct(2, wake);
  direct.SetOn(true);
  direct.Take();
  const uint64_t before = wake.Notifications();
  for (uint8_t n = 1; n <= 3; ++n) direct.Set(0, std::vector<Rgb>(2, Rgb{n, n, n}));
  EXPECT_EQ(wake.Notifications() - before, 1u);
  EXPECT_EQ(direct.Take()[1], (Rgb{3, 3, 3}));
  direct.Set(1, std::vector<Rgb>(1, Rgb{7, 7, 7}));
  EXPECT_EQ(wake.Notifications() - before, 2u) << "a set after a take wakes the thread again";
}

TEST(DirectColoursTest, FramesScaleAsTheDevicesEffectsAndLeaveMissingLedsDark) {
  const std::vector<Rgb> two{{10, 20, 30}, {255, 255, 255}};
  MousepadFrame pad;
  ASSERT_EQ(MousepadDirectFrame(4, two, pad), kMousepadFrameBytes);
  EXPECT_EQ(pad.bytes[0], 10);
  EXPECT_EQ(pad.bytes[5], 255) << "the pad keeps a full colour at full brightness";
  EXPECT_EQ(pad.bytes[6], 0);
  EXPECT_EQ(pad.alpha[1], 255);
  ASSERT_EQ(MousepadDirectFrame(0, two, pad), kMousepadFrameBytes);
  EXPECT_EQ(pad.bytes[5], 0) << "brightness 0 is dark";

  LedStates leds;
  KeyboardDirectLeds(4, two, leds);
  KeyboardFrame frame{};
  KeyboardPreview shown;
  BuildKeyboardFrame(leds, frame, shown);
  EXPECT_EQ(leds.Get(1).level, 255);
  EXPECT_EQ(leds.Get(2).level, 255);
  EXPECT_EQ(leds.Get(2).red, 0) << "a key past the list is dark";
  EXPECT_EQ(shown.colour[0], PackPreviewColour({10, 20, 30}));
}

}  // namespace
}  // namespace talvo::lighting
