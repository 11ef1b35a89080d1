// The lighting tabs' checked setters, which other programs' requests go
// through: a change is refused whole or shown on the controls and carried
// out as the user's change of those controls is.
#include <gtest/gtest.h>

#include "lighting_page_env.h"

namespace talvo::lighting::pages::test {
namespace {

using device::Peripheral;
using ::talvo::pages::Outcome;

class LightingSettersTest : public LightingPageTest {
 protected:
  LightingPage& Page(Peripheral p) {
    if (p == Peripheral::Keyboard) return *keyboard;
    return p == Peripheral::Mouse ? static_cast<LightingPage&>(*mouse) : *mousepad;
  }
  std::string Control(Peripheral p, std::string_view name) {
    return std::string(::talvo::pages::TraitsOf(p).prefix) + std::string(name);
  }
};

constexpr Peripheral kAll[] = {Peripheral::Keyboard, Peripheral::Mouse, Peripheral::Mousepad};

TEST_F(LightingSettersTest, AChangeWithOneBadValueIsRefusedAndChangesNothing) {
  struct Case {
    LightingChange change;
    std::string message;
  };
  for (Peripheral p : kAll) {
    const LightingState before = Page(p).State();
    const int modes = int(Page(p).ModeNames().size());
    const Case cases[] = {
        {{.mode = modes, .brightness = 1, .speed = {}, .colour = {}},
         "the " + std::string(::talvo::pages::TraitsOf(p).name) + " has no lighting mode " + std::to_string(modes)},
        {{.mode = 1, .brightness = 5, .speed = {}, .colour = Rgb{1, 2, 3}}, "brightness must be 0 to 4"},
        {{.mode = 1, .brightness = {}, .speed = -1, .colour = {}}, "speed must be 0 to 4"},
    };
    for (const Case& c : cases) {
      const Outcome refused = Page(p).Apply(c.change);
      ASSERT_TRUE(refused) << c.message;
      EXPECT_EQ(refused->message, c.message);
    }
    const LightingState after = Page(p).State();
    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(after.colour, before.colour);
  }
  const Pushed pushed = TakePushes();
  EXPECT_FALSE(pushed.keyboard || pushed.mouse || pushed.mousepad);
}

TEST_F(LightingSettersTest, AChangeShowsOnTheControlsAndCommitsAsTheUsersChange) {
  for (Peripheral p : kAll) {
    EXPECT_FALSE(Page(p).Apply({.mode = 2, .brightness = 1, .speed = 3, .colour = Rgb{10, 20, 30}}));
    const LightingState state = Page(p).State();
    EXPECT_EQ(state.mode, 2);
    EXPECT_EQ(state.brightness, 1);
    EXPECT_EQ(state.speed, 3);
    EXPECT_EQ(state.colour, (Rgb{10, 20, 30}));
    const ::talvo::pages::PeripheralTraits& traits = ::talvo::pages::TraitsOf(p);
    EXPECT_EQ(Find(std::string(traits.modeCombo))->CurrentIndex(), 2);
    EXPECT_EQ(Find(std::string(traits.brightnessSlider))->Value(), 1);
    EXPECT_EQ(Find(std::string(traits.speedSlider))->Value(), 3);
    EXPECT_EQ(Find(std::string(traits.palette))->SelectColor(), 0xFF0A141Eu);
    EXPECT_EQ(Text(Control(p, "_Deng_edit_B")), "30");
  }
  const Pushed pushed = TakePushes();
  EXPECT_TRUE(pushed.keyboard && pushed.mouse && pushed.mousepad);

  // The mode the list shows is not chosen again: synchronized lighting goes on.
  mousepadLink.syncActive.store(1);
  EXPECT_FALSE(mousepad->Apply({.mode = 2, .brightness = {}, .speed = {}, .colour = {}}));
  EXPECT_EQ(mousepadLink.syncActive.load(), 1u);
  EXPECT_FALSE(TakePushes().mousepad);
}

}  // namespace
}  // namespace talvo::lighting::pages::test
