// The simulated mouse arriving, leaving and changing its settings on its own,
// seen through the window and through the requests the mouse receives.

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using MouseTest = E2eTest;

struct MouseRequest {
  int tMs = 0;
  int command = 0;
  int length = 0;
  int offset = 0;
  int firstData = 0;
};

std::vector<MouseRequest> Traffic(TalvoRun& talvo) {
  std::vector<MouseRequest> out;
  for (const QJsonValue& v : talvo.Request(Sim("traffic")).value("requests").toArray()) {
    const QByteArray bytes = QByteArray::fromHex(v.toObject().value("hex").toString().toLatin1());
    if (bytes.size() < 9) continue;
    const auto b = [&](int i) { return int(uint8_t(bytes[i])); };
    // Lighting frames (command 18) flow on their own; the requests of the
    // sequences are what these tests follow.
    if (b(3) == 18) continue;
    out.push_back({v.toObject().value("t_ms").toInt(), b(3), b(4), b(5) | b(6) << 8, b(8)});
  }
  return out;
}

// Until the mouse has had a whole full read: over a hundred requests, the
// last one ending the transfer.
bool WaitForFullRead(TalvoRun& talvo) {
  return WaitFor(talvo, [&] {
    const auto got = Traffic(talvo);
    return !got.empty() && got.back().command == 2 && got.size() > 100;
  });
}

bool Visible(TalvoRun& talvo, const char* name) {
  return talvo.Get(name).value("visible").toBool();
}

// The requests of a full read: 1, 3, ten chunks of 7, for each profile one
// 5 (56 bytes at p × 64) and ten chunks of 8 at p × 126 + 0, 56, …, then 2.
std::vector<MouseRequest> FullRead() {
  std::vector<MouseRequest> r{{0, 1}, {0, 3}};
  for (int c = 0; c < 10; ++c) r.push_back({0, 7, 0, c * 56});
  for (int p = 0; p < 5; ++p) {
    r.push_back({0, 5, 56, p * 64});
    for (int c = 0; c < 10; ++c) r.push_back({0, 8, 0, p * 126 + c * 56});
  }
  r.push_back({0, 2});
  return r;
}

// Whether `want` occurs in `got` as a contiguous run (commands and offsets;
// lengths where `want` gives one).
bool ContainsRun(const std::vector<MouseRequest>& got, const std::vector<MouseRequest>& want) {
  for (size_t start = 0; start + want.size() <= got.size(); ++start) {
    bool match = true;
    for (size_t i = 0; i < want.size() && match; ++i) {
      const MouseRequest& g = got[start + i];
      const MouseRequest& w = want[i];
      match = g.command == w.command && (w.command < 5 || g.offset == w.offset) &&
              (w.length == 0 || g.length == w.length);
    }
    if (match) return true;
  }
  return false;
}

int CountReads(const std::vector<MouseRequest>& got, int length, int offset) {
  int n = 0;
  for (const MouseRequest& r : got) n += r.command == 5 && r.length == length && r.offset == offset;
  return n;
}

TEST_F(MouseTest, PluggedInAfterStartUpShowsItsTabAndIsReadHalfASecondLater) {
  TalvoRun& talvo = Launch(Variables{}, "none");
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  EXPECT_FALSE(Visible(talvo, "ms_tab"));

  ASSERT_TRUE(talvo.Request(Sim("plug")).value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return Visible(talvo, "ms_tab"); })) << "the mouse tab never appeared";
  EXPECT_TRUE(Visible(talvo, "ms_tab_panel"));
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 0);
  EXPECT_EQ(talvo.Get("tab_switch").value("page").toInt(), 1);

  ASSERT_TRUE(WaitForFullRead(talvo));
  const auto got = Traffic(talvo);
  EXPECT_TRUE(ContainsRun(got, FullRead())) << "the full read's requests are not in order";
  // The cursor macros come first, right at the attach; the full read half a
  // second later.
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[0].command, 1);
  EXPECT_EQ(got[1].command, 22);
  const auto fullReadStart = std::find_if(got.begin(), got.end(), [](const MouseRequest& r) { return r.command == 3; });
  ASSERT_NE(fullReadStart, got.end());
  EXPECT_GE(fullReadStart->tMs - got[0].tMs, 450);
  // Not brought forward: that happens only when the mouse is there at start.
  EXPECT_TRUE(talvo.Request("window").value("minimized").toBool());
}

TEST_F(MouseTest, PulledOutHidesItsTabAndSaysSo) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return Visible(talvo, "ms_tab"); }));
  talvo.Request("messages");

  ASSERT_TRUE(talvo.Request(Sim("unplug")).value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return !Visible(talvo, "ms_tab"); })) << "the mouse tab stayed";
  const QJsonArray messages = talvo.WaitForMessages(kWaitTimeoutMs);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].toObject().value("text_id").toString(), "message_text_20");

  // Back in: attached again without a restart.
  ASSERT_TRUE(talvo.Request(Sim("plug")).value("ok").toBool());
  EXPECT_TRUE(WaitFor(talvo, [&] { return Visible(talvo, "ms_tab"); }));
}

TEST_F(MouseTest, NotificationsReReadOnceOrReadEverything) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  ASSERT_TRUE(WaitForFullRead(talvo));

  // The mouse switched to profile 2 itself and says so twice in a row.
  ASSERT_TRUE(talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "poke"}, {"device", "mouse"}, {"area", "settings"},
                                        {"offset", 0}, {"hex", "02"}})
                  .value("ok")
                  .toBool());
  talvo.Request(Sim("clear"));
  for (int i = 0; i < 2; ++i) {
    QJsonObject notify = Sim("notify");
    notify["usage"] = 0x401;
    ASSERT_TRUE(talvo.Request(notify).value("ok").toBool());
  }
  ASSERT_TRUE(WaitFor(talvo, [&] { return CountReads(Traffic(talvo), 56, 128) > 0; }));
  Pause(talvo, 400);
  const auto reread = Traffic(talvo);
  EXPECT_EQ(CountReads(reread, 1, 0), 1) << "two notifications, one re-read";
  EXPECT_EQ(CountReads(reread, 56, 128), 1);
  EXPECT_TRUE(talvo.Get("ms_profile_2").value("checked").toBool());

  talvo.Request(Sim("clear"));
  QJsonObject everything = Sim("notify");
  everything["usage"] = 0x402;
  ASSERT_TRUE(talvo.Request(everything).value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] {
    const auto got = Traffic(talvo);
    return !got.empty() && got.back().command == 2;
  }));
  EXPECT_TRUE(ContainsRun(Traffic(talvo), FullRead()));
}

TEST_F(MouseTest, OnboardProfileButtonsSwitchTheMouse) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  ASSERT_TRUE(WaitForFullRead(talvo));

  talvo.Request(Sim("clear"));
  ASSERT_TRUE(talvo.Request(QJsonObject{{"cmd", "click"}, {"name", "ms_profile_1"}}).value("ok").toBool());
  // The switch runs on the mouse's session; the window goes on meanwhile.
  ASSERT_TRUE(WaitFor(talvo, [&] {
    return Traffic(talvo).size() >= 3 && talvo.Get("ms_profile_1").value("checked").toBool();
  }));
  const auto got = Traffic(talvo);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_TRUE(got[0].command == 5 && got[0].length == 1 && got[0].offset == 0);
  EXPECT_TRUE(got[1].command == 6 && got[1].length == 1 && got[1].offset == 0 && got[1].firstData == 1);
  EXPECT_TRUE(got[2].command == 5 && got[2].length == 56 && got[2].offset == 64);
  EXPECT_TRUE(talvo.Get("ms_profile_1").value("checked").toBool());

  // The profile already active: only the one-byte read.
  talvo.Request(Sim("clear"));
  ASSERT_TRUE(talvo.Request(QJsonObject{{"cmd", "click"}, {"name", "ms_profile_1"}}).value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return !Traffic(talvo).empty(); }));
  Pause(talvo, 200);
  const auto again = Traffic(talvo);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_TRUE(again[0].command == 5 && again[0].length == 1);
}


TEST_F(MouseTest, LightingFramesReachTheMouseAndItsPreview) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  // Frames start a few seconds after start-up: 60 bytes as two reports,
  // 56 at offset 0 and 4 at offset 56.
  const auto frames = [&] {
    std::vector<std::pair<int, int>> chunks;  // (offset, length)
    for (const QJsonValue& v : talvo.Request(Sim("traffic")).value("requests").toArray()) {
      const QByteArray b = QByteArray::fromHex(v.toObject().value("hex").toString().toLatin1());
      if (b.size() >= 8 && uint8_t(b[3]) == 18) chunks.push_back({uint8_t(b[5]) | uint8_t(b[6]) << 8, uint8_t(b[4])});
    }
    return chunks;
  };
  ASSERT_TRUE(WaitFor(talvo, [&] { return frames().size() >= 4; }, 10000)) << "no lighting frames";
  const auto chunks = frames();
  EXPECT_EQ(chunks[0], (std::pair<int, int>{0, 56}));
  EXPECT_EQ(chunks[1], (std::pair<int, int>{56, 4}));

  // The preview follows the same frames.
  const auto tint = [&] { return talvo.Get("ms_dkey_0").value("changer_colour").toString(); };
  const QString first = tint();
  EXPECT_TRUE(WaitFor(talvo, [&] { return tint() != first; }, 5000)) << "the preview does not move";
}


TEST_F(MouseTest, ChoosingALightingModePushesTheRecordWithoutTheMousesOwnBytes) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  ASSERT_TRUE(WaitForFullRead(talvo));
  talvo.Request(Sim("clear"));
  ASSERT_TRUE(talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_deng_combo_modeSelect2"}, {"index", 1}})
                  .value("ok")
                  .toBool());
  std::vector<int> offsets;
  ASSERT_TRUE(WaitFor(talvo, [&] {
    offsets.clear();
    for (const MouseRequest& r : Traffic(talvo))
      if (r.command == 6) offsets.push_back(r.offset);
    return offsets.size() >= 3;
  }, 2000)) << "no push within the time";
  EXPECT_EQ(offsets, (std::vector<int>{0, 15, 20})) << "report rate (14) and active stage (19) stay the mouse's";
}


TEST_F(MouseTest, ArrivalLoadsTheChosenDeviceProfileIntoThePages) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  const auto value = [&](const char* name) {
    return talvo.Get(name).value("value").toInt(-1);
  };
  // The first-run device profile carries brightness 3 and speed 2, pointer
  // speed 10 and 3 wheel lines.
  ASSERT_TRUE(WaitFor(talvo, [&] { return value("ms_deng_light_slider") == 3; })) << "the profile was not loaded";
  EXPECT_EQ(value("ms_deng_speed_slider"), 2);
  EXPECT_EQ(talvo.Get("ms_device_profile_name_edit").value("text").toString(), QString::fromUtf8("配置1"));
  const QJsonObject system = talvo.Request("system");
  EXPECT_EQ(system.value("pointer_speed").toInt(), 10);
  EXPECT_EQ(system.value("wheel_lines").toInt(), 3);
}

}  // namespace
}  // namespace talvo::e2e
