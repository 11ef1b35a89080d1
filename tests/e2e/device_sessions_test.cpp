// The mouse's sequences on its session: kept whole while the lighting streams,
// handed over whole or not at all, and the profile saves they and the pages
// cause, coalesced.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QMap>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using DeviceSessionsTest = E2eTest;

constexpr int kUsageEverythingChanged = 0x402;

// Commands the mouse received since the last clear, frames included.
std::vector<int> Commands(TalvoRun& talvo) {
  std::vector<int> out;
  for (const QJsonValue& v : talvo.Request(Sim("traffic")).value("requests").toArray())
    out.push_back(QByteArray::fromHex(v.toObject().value("hex").toString().mid(6, 2).toLatin1()).at(0) & 0xFF);
  return out;
}

// Whole full reads (begin to end of a transfer with a information block
// read in it) in the mouse's traffic.
int FullReads(const std::vector<int>& commands) {
  int reads = 0;
  bool info = false;
  for (int c : commands) {
    if (c == 1) info = false;
    if (c == 3) info = true;
    if (c == 2 && info) ++reads;
  }
  return reads;
}

QJsonObject Notify(int usage) {
  QJsonObject o = Sim("notify");
  o["usage"] = usage;
  return o;
}

// Every file of the mouse's folder with its bytes.
QMap<QString, QByteArray> MouseFiles(const UserFolders& folders) {
  QMap<QString, QByteArray> files;
  const QDir dir(MouseFolder(folders));
  for (const QString& name : dir.entryList(QDir::Files)) {
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::ReadOnly)) files[name] = f.readAll();
  }
  return files;
}

// The brightness byte of the mouse's selected light profile.
int SavedBrightness(const UserFolders& folders) {
  QFile f(MouseFolder(folders) + "/profile1.led");
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray bytes = f.readAll();
  constexpr int kHeader = 16;
  constexpr int kBrightness = 2;
  return bytes.size() > kHeader + kBrightness ? uint8_t(bytes[kHeader + kBrightness]) : -1;
}

TEST_F(DeviceSessionsTest, NoFrameOrPushLandsInsideASequence) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  // The fastest effect, then wait for its frames.
  ASSERT_TRUE(WaitFor(talvo, [&] {
    return talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_deng_combo_modeSelect2"}, {"index", 0}})
        .value("ok")
        .toBool();
  }));
  talvo.Request(QJsonObject{{"cmd", "set_value"}, {"name", "ms_deng_speed_slider"}, {"value", 4}});
  ASSERT_TRUE(WaitFor(talvo, [&] {
    const auto c = Commands(talvo);
    return std::count(c.begin(), c.end(), 18) > 20;
  }, 10000));

  talvo.Request(Sim("clear"));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(talvo.Request(Notify(kUsageEverythingChanged)).value("ok").toBool());
    // Pushes meanwhile: every brightness step marks the record.
    talvo.Request(QJsonObject{{"cmd", "set_value"}, {"name", "ms_deng_light_slider"}, {"value", i % 5}});
    Pause(talvo, 100);
  }
  ASSERT_TRUE(WaitFor(talvo, [&] { return FullReads(Commands(talvo)) >= 3; }));

  const std::vector<int> commands = Commands(talvo);
  bool inside = false;
  int frames = 0;
  for (int c : commands) {
    if (c == 1) inside = true;
    if (c == 2) inside = false;
    frames += c == 18;
    EXPECT_FALSE(inside && (c == 18 || c == 6)) << "command " << c << " inside a sequence";
  }
  EXPECT_GT(frames, 0) << "the lighting went on around the reads";
  EXPECT_GT(std::count(commands.begin(), commands.end(), 6), 0) << "the pushes went out between them";
}

TEST_F(DeviceSessionsTest, AReadCutShortByTheMouseLeavingChangesNothing) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return FullReads(Commands(talvo)) >= 1; }));
  // A mode the mouse runs itself: no frames, so the read's own requests are
  // the ones counted below.
  ASSERT_TRUE(talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_deng_combo_modeSelect2"}, {"index", 3}})
                  .value("ok")
                  .toBool());
  Pause(talvo, 300);
  // What the mouse's pages show; whether they are visible follows the
  // mouse leaving.
  const auto shown = [&] {
    std::string state;
    for (const char* name : {"ms_report_fct_combo", "ms_DPI1_slider", "ms_DPI1_max", "ms_deng_combo_modeSelect2"}) {
      QJsonObject control = talvo.Get(name);
      control.remove("visible");
      state += QJsonDocument(control).toJson(QJsonDocument::Compact).toStdString() + "\n";
    }
    return state;
  };
  const std::string pagesBefore = shown();
  const auto filesBefore = MouseFiles(folders_);

  // What a whole read would bring: another report rate and sensor, another
  // active profile.
  QJsonObject poke = Sim("poke");
  poke["area"] = "settings";
  poke["offset"] = 0;
  poke["hex"] = "02";
  ASSERT_TRUE(talvo.Request(poke).value("ok").toBool());
  poke["offset"] = 14;
  poke["hex"] = "01";
  ASSERT_TRUE(talvo.Request(poke).value("ok").toBool());
  poke["area"] = "info";
  poke["offset"] = 9;
  poke["hex"] = "1033";
  ASSERT_TRUE(talvo.Request(poke).value("ok").toBool());

  // Pulled out at the 31st of the read's 68 exchanges.
  QJsonObject fault = Sim("fault");
  fault["fault"] = "unplug";
  fault["count"] = 1;
  fault["after"] = 30;
  ASSERT_TRUE(talvo.Request(fault).value("ok").toBool());
  talvo.Request(Sim("clear"));
  ASSERT_TRUE(talvo.Request(Notify(kUsageEverythingChanged)).value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return !talvo.Get("ms_tab").value("visible").toBool(); }));
  Pause(talvo, 300);

  EXPECT_EQ(shown(), pagesBefore);
  EXPECT_EQ(MouseFiles(folders_), filesBefore);
}

TEST_F(DeviceSessionsTest, ASliderDragWritesEachFileOncePerTickAndExitWritesTheLastChange) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return FullReads(Commands(talvo)) >= 1; }));
  Pause(talvo, 300);

  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, MouseFolder(folders_).toLocal8Bit().constData(), IN_MOVED_TO), 0);
  QElapsedTimer drag;
  drag.start();
  for (int step = 0; step < 100; ++step)
    talvo.Request(QJsonObject{{"cmd", "set_value"}, {"name", "ms_deng_light_slider"}, {"value", step % 5}});
  const qint64 dragMs = drag.elapsed();
  Pause(talvo, 300);

  QMap<QString, int> writes;
  alignas(inotify_event) std::array<char, 1 << 16> buffer;
  for (ssize_t n; (n = ::read(watch, buffer.data(), buffer.size())) > 0;) {
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
      if (event->len > 0) ++writes[QString::fromUtf8(event->name)];
      at += ssize_t(sizeof(inotify_event) + event->len);
    }
  }
  ::close(watch);
  // One write per tick of the drag, and one after it.
  const int most = int(dragMs / 100) + 2;
  for (const char* file : {"profile1.led", "配置1.config"}) {
    EXPECT_GT(writes.value(QString::fromUtf8(file)), 0) << file;
    EXPECT_LE(writes.value(QString::fromUtf8(file)), std::max(11, most)) << file << " over " << dragMs << " ms";
  }
  EXPECT_EQ(SavedBrightness(folders_), 99 % 5) << "the last value is on disk after the next tick";

  talvo.Request(QJsonObject{{"cmd", "set_value"}, {"name", "ms_deng_light_slider"}, {"value", 1}});
  talvo.Request("quit");
  ASSERT_TRUE(talvo.WaitForExit(10000));
  EXPECT_EQ(SavedBrightness(folders_), 1) << "exit writes the change made just before";
}

}  // namespace
}  // namespace talvo::e2e
