// Profiles that follow the program in front as a real X desktop tells it: an
// X server, an EWMH window manager and real clients whose windows are
// activated, with Talvo on the desktop's own source (--foreground=desktop).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "tests/e2e/talvo_run.h"
#include "tests/e2e/x_desktop.h"

namespace talvo::e2e {
namespace {

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ForegroundDesktopTest : public E2eTest {
 protected:
  // Talvo on the desktop's source with a second device profile linked to
  // `link` (the dialog's path, rewritten in the index when it is not one)
  // and the first one the user's choice. Clients start afterwards: a linked
  // program in front would take the list over while it is set up.
  TalvoRun& LaunchLinked(const QString& link) {
    TalvoRun& talvo = Launch(desktop_.Environment(Environment()), QStringLiteral("mouse"),
                             {QStringLiteral("--foreground=desktop")});
    OpenMouseTab(talvo, "ms_deng_Op_tab");
    const QString path = link.startsWith('/') ? link : QStringLiteral("/usr/bin/true");
    talvo.Do({Click("ms_profile_fun_spread_btn"), Click("ms_pro_device_add_btn"), Dialog(path),
              Check("ms_device_profile_link_check"), Choose("ms_device_profile_combo", 0)});
    Pause(talvo, 300);  // the index is written on the next tick
    if (link != path) Relink(path, link);
    return talvo;
  }
  // The stored link text replaced, as another system's index would hold it.
  void Relink(const QString& from, const QString& to) {
    const QString index = MouseFolder(folders_) + "/msProfile.ini";
    QByteArray text = ReadFile(index);
    ASSERT_TRUE(text.contains("1=" + from.toUtf8()));
    text.replace("1=" + from.toUtf8(), "1=" + to.toUtf8());
    QFile file(index);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
  }
  bool Shows(TalvoRun& talvo, int entry) {
    return WaitFor(talvo, [&] { return talvo.Get("ms_device_profile_combo").value("index").toInt() == entry; });
  }

  Desktop desktop_;
};

TEST_F(ForegroundDesktopTest, TheLinkedProgramsWindowInFrontSelectsItsProfile) {
  const QString error = desktop_.Start();
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  const QString client = QStandardPaths::findExecutable(QStringLiteral("xmessage"));
  QTemporaryDir bin;
  const QString other = bin.path() + "/other-client";
  ASSERT_TRUE(QFile::copy(client, other));
  TalvoRun& talvo = LaunchLinked(QFileInfo(client).canonicalFilePath());
  desktop_.StartClient(client, "linked");
  desktop_.StartClient(other, "other");
  const QString linked = desktop_.Window("linked"), otherWindow = desktop_.Window("other");

  ASSERT_TRUE(desktop_.Activate(linked));
  EXPECT_TRUE(Shows(talvo, 1)) << talvo.Log().toStdString();
  ASSERT_TRUE(desktop_.Activate(otherWindow));
  EXPECT_TRUE(Shows(talvo, 0));
  ASSERT_TRUE(desktop_.Activate(linked));
  EXPECT_TRUE(Shows(talvo, 1));
}

// A stand-in for a Windows game run by Proton from Steam: the client copied
// as Proton's loader, started with the game's Windows path as argv[0] and
// Steam's app id in its environment. It is known by either link.
TEST_F(ForegroundDesktopTest, AWineGameIsFollowedByItsWindowsNameAndItsSteamApp) {
  const QString error = desktop_.Start();
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  QTemporaryDir bin;
  const QString loader = bin.path() + "/wine64-preloader";
  ASSERT_TRUE(QFile::copy(QStandardPaths::findExecutable(QStringLiteral("xmessage")), loader));
  TalvoRun& talvo = LaunchLinked("game.exe");
  desktop_.StartClient(loader, "game", "C:\\Games\\game.exe", {"SteamAppId=4000"});
  desktop_.StartClient(QStandardPaths::findExecutable(QStringLiteral("xmessage")), "other");
  const QString game = desktop_.Window("game"), otherWindow = desktop_.Window("other");

  ASSERT_TRUE(desktop_.Activate(game));
  EXPECT_TRUE(Shows(talvo, 1)) << talvo.Log().toStdString();
  ASSERT_TRUE(desktop_.Activate(otherWindow));
  EXPECT_TRUE(Shows(talvo, 0));

  Relink("game.exe", "steam:4000");
  ASSERT_TRUE(desktop_.Activate(game));
  EXPECT_TRUE(Shows(talvo, 1));
}

}  // namespace
}  // namespace talvo::e2e
