#include "profiles/program_links.h"

#include <gtest/gtest.h>

#include <string>

namespace talvo::profiles {
namespace {

using platform::ForegroundAnswer;
using platform::ForegroundStatus;

// Each link against the same programs: a native one, and a Windows game run
// by Proton that Steam started.
TEST(ProgramLinks, EachFormNamesItsProgramAndNothingElse) {
  const ForegroundAnswer native{ForegroundStatus::Found, "/usr/games/game"};
  const ForegroundAnswer proton{ForegroundStatus::Found, "/steam/proton/files/bin/wine64-preloader", "Game.exe", "4000"};
  struct Case {
    std::string link;
    LinkForm form;
    bool namesNative, namesProton;
  };
  const Case cases[] = {
      {"/usr/games/game", LinkForm::Path, true, false},
      {"/usr/games/Game", LinkForm::Path, false, false},
      {"game.exe", LinkForm::WindowsProgram, false, true},
      {"GAME.EXE", LinkForm::WindowsProgram, false, true},
      {"C:\\Games\\game.exe", LinkForm::WindowsProgram, false, true},
      {"D:\\Other\\game.exe", LinkForm::WindowsProgram, false, true},
      {"C:\\Games\\game.exe\\", LinkForm::None, false, false},
      {".exe", LinkForm::None, false, false},
      {"games/game.exe", LinkForm::None, false, false},
      {"game", LinkForm::None, false, false},
      {"steam:4000", LinkForm::SteamApp, false, true},
      {"steam:40000", LinkForm::SteamApp, false, false},
      {"steam:0", LinkForm::None, false, false},
      {"steam:", LinkForm::None, false, false},
      {"steam:12345678901", LinkForm::None, false, false},
      {"steam:4000 ", LinkForm::None, false, false},
      {"Steam:4000", LinkForm::None, false, false},
      {"", LinkForm::None, false, false},
      {" ", LinkForm::None, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormOf(c.link), c.form) << c.link;
    EXPECT_EQ(LinkNames(c.link, {}, native), c.namesNative) << c.link;
    EXPECT_EQ(LinkNames(c.link, {}, proton), c.namesProton) << c.link;
  }
  // Only a program that was found is named, and a path through its target.
  EXPECT_FALSE(LinkNames("/usr/games/game", {}, {ForegroundStatus::Unreadable, "/usr/games/game"}));
  EXPECT_TRUE(LinkNames("/usr/bin/game", "/usr/games/game", native));
  // What a user would link to: the Steam app first, then the Windows program.
  EXPECT_EQ(LinkFor(proton), "steam:4000");
  EXPECT_EQ(LinkFor({ForegroundStatus::Found, proton.path, "Game.exe"}), "Game.exe");
  EXPECT_EQ(LinkFor(native), "/usr/games/game");
  EXPECT_EQ(LinkFieldText("/usr/games/game"), "game");
  EXPECT_EQ(LinkFieldText("C:\\Games\\game.exe"), "game.exe");
  EXPECT_EQ(LinkFieldText("steam:4000"), "steam:4000");
}

}  // namespace
}  // namespace talvo::profiles
