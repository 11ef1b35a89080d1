#include "platform/process_identity.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "platform/foreground_program.h"

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;

std::span<const uint8_t> Bytes(std::string_view text) { return {reinterpret_cast<const uint8_t*>(text.data()), text.size()}; }

TEST(ProcessIdentity, ProcFilesAreReadWithinTheirBytes) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view bytes;
    std::optional<std::string> windowsProgram, steamApp;
    std::optional<int> parent;
  };
  const Case cases[] = {
      {"C:\\Games\\game.exe\0-windowed\0"sv, "game.exe", {}, {}},
      {"/home/u/.wine/drive_c/Game/GAME.EXE\0"sv, "GAME.EXE", {}, {}},
      {"Z:\\opt/game/launcher.exe"sv, "launcher.exe", {}, {}},
      {"game\0run.exe\0"sv, {}, {}, {}},
      {"C:\\Games\\.exe\0"sv, {}, {}, {}},
      {"HOME=/root\0SteamGameId=7\0SteamAppId=4000\0"sv, {}, "4000", {}},
      {"SteamAppId=0\0SteamGameId=7\0"sv, {}, "7", {}},
      {"SteamGameId=12345678901234567890\0SteamAppId=12a\0"sv, {}, {}, {}},
      {"SteamAppId=1234567890\0"sv, {}, "1234567890", {}},
      {"SteamAppId=4000"sv, {}, {}, {}},
      {"XSteamAppId=4000\0SteamAppId\0"sv, {}, {}, {}},
      {"Name:\tgame\nPid:\t42\nPPid:\t41\nUid:\t0\n"sv, {}, {}, 41},
      {"PPid:\t0\n"sv, {}, {}, {}},
      {"PPid:\t99999999\n"sv, {}, {}, {}},
      {"PPid:\t4x\n"sv, {}, {}, {}},
      {"PPid:"sv, {}, {}, {}},
      {""sv, {}, {}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsProgramFromCommandLine(Bytes(c.bytes)), c.windowsProgram) << c.bytes;
    EXPECT_EQ(SteamAppFromEnvironment(Bytes(c.bytes)), c.steamApp) << c.bytes;
    EXPECT_EQ(ParentFromStatus(Bytes(c.bytes)), c.parent) << c.bytes;
  }
  EXPECT_TRUE(IsWineLoader("/opt/proton/files/bin/wine64-preloader"));
  EXPECT_TRUE(IsWineLoader("/usr/bin/wine"));
  EXPECT_FALSE(IsWineLoader("/usr/bin/winecfg"));
  EXPECT_FALSE(IsWineLoader("/usr/games/game"));
}

// A stand-in Wine game: a copy of sleep named as Proton's loader, started
// with a Windows argv[0] by a shell that holds the Steam app id, which the
// game's own environment lacks.
TEST(ProcessIdentity, AWineGameStartedBySteamIsKnownByNameAndApp) {
  const auto folder = std::filesystem::temp_directory_path() / ("talvo-wine-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const auto loader = folder / "wine64-preloader";
  std::filesystem::copy_file("/bin/sleep", loader, std::filesystem::copy_options::overwrite_existing);
  const std::string command = "SteamAppId=4000 bash -c '(unset SteamAppId; exec -a \"C:\\\\Games\\\\game.exe\" \"$0\" 30) "
                              "& echo $!; wait' " + loader.string();
  FILE* shell = popen(command.c_str(), "r");
  ASSERT_TRUE(shell);
  int pid = 0;
  ASSERT_EQ(fscanf(shell, "%d", &pid), 1);

  ForegroundAnswer game;
  for (int i = 0; i < 200 && game.windowsProgram.empty(); ++i, std::this_thread::sleep_for(10ms))
    game = ExecutableOfProcess(pid);
  EXPECT_EQ(game.path, loader.string());
  EXPECT_EQ(game.windowsProgram, "game.exe");
  EXPECT_EQ(game.steamApp, "4000");
  const auto self = ExecutableOfProcess(getpid());
  EXPECT_EQ(self.windowsProgram, "");

  kill(pid, SIGTERM);
  pclose(shell);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace talvo::platform
