#include "app/instance/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/support/event_wait.h"

namespace talvo::app {
namespace {

using Role = SingleInstance::Role;

using test_support::kEventWaitMs;
using test_support::ProcessEventsUntil;

QString SocketIn(const QTemporaryDir& dir) { return dir.path() + "/KAVLENDRVER1"; }

// ---- The activation line reader --------------------------------------------

TEST(TakeActivations, CountsWholeActivationLinesAndKeepsTheUnfinishedRest) {
  QByteArray buffer("ORVANTIS_004\nsomething else\nORVANTIS_004\nORVANT");
  bool overflow = true;
  EXPECT_EQ(TakeActivations(buffer, overflow), 2);
  EXPECT_FALSE(overflow);
  EXPECT_EQ(buffer, QByteArray("ORVANT"));

  buffer.append("IS_004\n");
  EXPECT_EQ(TakeActivations(buffer, overflow), 1);
  EXPECT_TRUE(buffer.isEmpty());
}

TEST(TakeActivations, NearMissesAreNotActivations) {
  QByteArray buffer("ORVANTIS_004 \nORVANTIS_00\n\nXORVANTIS_004\nORVANTIS_004\r\n");
  bool overflow = false;
  EXPECT_EQ(TakeActivations(buffer, overflow), 0);
  EXPECT_TRUE(buffer.isEmpty());
}

TEST(TakeActivations, EndlessLineIsDroppedNotBuffered) {
  QByteArray buffer(1000, 'A');
  bool overflow = false;
  EXPECT_EQ(TakeActivations(buffer, overflow), 0);
  EXPECT_TRUE(overflow);
  EXPECT_TRUE(buffer.isEmpty());
}

// ---- One process ------------------------------------------------------------

TEST(SingleInstance, SecondStartInTheSameFolderActivatesTheFirst) {
  QTemporaryDir dir;
  SingleInstance first(dir.path());
  ASSERT_EQ(first.Acquire(), Role::Primary);
  EXPECT_TRUE(first.listening());
  EXPECT_EQ(first.socketPath(), SocketIn(dir));
  int activations = 0;
  QObject::connect(&first, &SingleInstance::activated, [&] { ++activations; });

  SingleInstance second(dir.path());
  EXPECT_EQ(second.Acquire(), Role::Secondary);
  SingleInstance third(dir.path());
  EXPECT_EQ(third.Acquire(), Role::Secondary);
  EXPECT_TRUE(ProcessEventsUntil([&] { return activations == 2; })) << activations;
}

TEST(SingleInstance, SocketIsOpenToItsUserOnly) {
  QTemporaryDir dir;
  SingleInstance instance(dir.path());
  ASSERT_EQ(instance.Acquire(), Role::Primary);
  struct stat st {};
  ASSERT_EQ(::lstat(QFile::encodeName(instance.socketPath()).constData(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(SingleInstance, SeparateRuntimeFoldersDoNotMeet) {
  QTemporaryDir a;
  QTemporaryDir b;
  SingleInstance first(a.path());
  SingleInstance second(b.path());
  EXPECT_EQ(first.Acquire(), Role::Primary);
  EXPECT_EQ(second.Acquire(), Role::Primary);
}

TEST(SingleInstance, NameIsFreeAgainOnceThePrimaryEnds) {
  QTemporaryDir dir;
  {
    SingleInstance first(dir.path());
    ASSERT_EQ(first.Acquire(), Role::Primary);
  }
  EXPECT_FALSE(QFile::exists(SocketIn(dir)));
  SingleInstance next(dir.path());
  EXPECT_EQ(next.Acquire(), Role::Primary);
  EXPECT_TRUE(next.listening());
}

TEST(SingleInstance, PeerThatNeverEndsItsLineIsCutOffAndLaterActivationsStillArrive) {
  QTemporaryDir dir;
  SingleInstance first(dir.path());
  ASSERT_EQ(first.Acquire(), Role::Primary);
  int activations = 0;
  QObject::connect(&first, &SingleInstance::activated, [&] { ++activations; });

  QLocalSocket noisy;
  noisy.connectToServer(first.socketPath());
  ASSERT_TRUE(noisy.waitForConnected(kEventWaitMs));
  noisy.write(QByteArray(4096, 'x'));
  EXPECT_TRUE(ProcessEventsUntil([&] { return noisy.state() == QLocalSocket::UnconnectedState; }));

  SingleInstance second(dir.path());
  EXPECT_EQ(second.Acquire(), Role::Secondary);
  EXPECT_TRUE(ProcessEventsUntil([&] { return activations == 1; }));
  EXPECT_EQ(activations, 1);
}

TEST(SingleInstance, LiveHolderThatNeverListensEndsTheWaitAsSecondary) {
  QTemporaryDir dir;
  QLockFile holder(SocketIn(dir) + ".lock");
  ASSERT_TRUE(holder.tryLock(0));
  SingleInstance instance(dir.path());
  // Gives up after a bounded wait and does not start next to the holder.
  EXPECT_EQ(instance.Acquire(), Role::Secondary);
  EXPECT_FALSE(instance.listening());
  EXPECT_TRUE(holder.isLocked());
}

// Without $XDG_RUNTIME_DIR the socket goes into a folder of the user's own
// under the temporary folder.
class NoRuntimeDir : public testing::Test {
 protected:
  void SetUp() override {
    savedRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    savedTmp_ = qgetenv("TMPDIR");
    hadRuntime_ = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    hadTmp_ = qEnvironmentVariableIsSet("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", tmp_.path().toLocal8Bit());
  }
  void TearDown() override {
    if (hadRuntime_)
      qputenv("XDG_RUNTIME_DIR", savedRuntime_);
    else
      qunsetenv("XDG_RUNTIME_DIR");
    if (hadTmp_)
      qputenv("TMPDIR", savedTmp_);
    else
      qunsetenv("TMPDIR");
  }
  QString Folder() const { return tmp_.path() + QString("/talvo-%1").arg(::getuid()); }

  QTemporaryDir tmp_;

 private:
  QByteArray savedRuntime_;
  QByteArray savedTmp_;
  bool hadRuntime_ = false;
  bool hadTmp_ = false;
};

TEST_F(NoRuntimeDir, SocketGoesIntoAPrivateFolderUnderTheTemporaryFolder) {
  SingleInstance first;
  EXPECT_EQ(first.socketPath(), Folder() + "/KAVLENDRVER1");
  ASSERT_EQ(first.Acquire(), Role::Primary);
  struct stat st {};
  ASSERT_EQ(::lstat(QFile::encodeName(Folder()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  SingleInstance second;
  EXPECT_EQ(second.Acquire(), Role::Secondary);
}

TEST_F(NoRuntimeDir, RelativeRuntimeFolderIsIgnored) {
  qputenv("XDG_RUNTIME_DIR", "relative/run");
  SingleInstance instance;
  EXPECT_EQ(instance.socketPath(), Folder() + "/KAVLENDRVER1");
}

TEST_F(NoRuntimeDir, FolderOthersCanWriteIsNotUsed) {
  ASSERT_EQ(::mkdir(QFile::encodeName(Folder()).constData(), 0777), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(Folder()).constData(), 0777), 0);
  SingleInstance instance;
  EXPECT_TRUE(instance.socketPath().isEmpty());
  // Runs unguarded rather than not at all.
  EXPECT_EQ(instance.Acquire(), Role::Primary);
  EXPECT_FALSE(instance.listening());
}

// ---- Separate processes -----------------------------------------------------

class Probe {
 public:
  Probe(const QString& runtimeDir, int activations, const QString& barrier = {}) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{runtimeDir, QString::number(activations)};
    if (!barrier.isEmpty()) arguments << barrier;
    process_.start(TALVO_INSTANCE_PROBE, arguments);
  }
  ~Probe() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(kEventWaitMs);
    }
  }
  QString ReadLine() {
    const QDeadlineTimer deadline(kEventWaitMs);
    while (!process_.canReadLine() && !deadline.hasExpired()) {
      if (!process_.waitForReadyRead(100) && process_.state() == QProcess::NotRunning && !process_.canReadLine()) break;
    }
    return QString::fromLocal8Bit(process_.readLine()).trimmed();
  }
  // Exit code, or -1 when it crashed or did not end.
  int Finish() {
    if (!process_.waitForFinished(kEventWaitMs) && process_.state() != QProcess::NotRunning) return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }
  QStringList RestOfOutput() {
    return QString::fromLocal8Bit(process_.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  }
  void KillHard() {
    process_.kill();
    process_.waitForFinished(kEventWaitMs);
  }

 private:
  QProcess process_;
};

TEST(SingleInstanceProcesses, SecondStartExitsZeroAndTheFirstIsActivated) {
  QTemporaryDir dir;
  Probe first(dir.path(), 1);
  ASSERT_EQ(first.ReadLine(), "primary");

  Probe second(dir.path(), 1);
  EXPECT_EQ(second.ReadLine(), "secondary");
  EXPECT_EQ(second.Finish(), 0);

  EXPECT_EQ(first.ReadLine(), "activated");
  EXPECT_EQ(first.Finish(), 0);
}

TEST(SingleInstanceProcesses, StartsWithTheirOwnRuntimeFoldersBothRun) {
  QTemporaryDir a;
  QTemporaryDir b;
  Probe first(a.path(), 1);
  Probe second(b.path(), 1);
  EXPECT_EQ(first.ReadLine(), "primary");
  EXPECT_EQ(second.ReadLine(), "primary");
}

TEST(SingleInstanceProcesses, PlainFileInThePlaceOfTheSocketIsTakenOver) {
  QTemporaryDir dir;
  QFile junk(SocketIn(dir));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("left over");
  junk.close();

  Probe first(dir.path(), 1);
  ASSERT_EQ(first.ReadLine(), "primary");
  Probe second(dir.path(), 1);
  EXPECT_EQ(second.ReadLine(), "secondary");
  EXPECT_EQ(first.ReadLine(), "activated");
}

TEST(SingleInstanceProcesses, SocketWithNoServerIsTakenOver) {
  QTemporaryDir dir;
  const QByteArray path = QFile::encodeName(SocketIn(dir));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(static_cast<size_t>(path.size()), sizeof(address.sun_path));
  std::memcpy(address.sun_path, path.constData(), path.size());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);

  Probe first(dir.path(), 1);
  ASSERT_EQ(first.ReadLine(), "primary");
  Probe second(dir.path(), 1);
  EXPECT_EQ(second.ReadLine(), "secondary");
  EXPECT_EQ(first.ReadLine(), "activated");
}

TEST(SingleInstanceProcesses, KilledPrimaryIsReplacedByTheNextStart) {
  QTemporaryDir dir;
  {
    Probe killed(dir.path(), 1);
    ASSERT_EQ(killed.ReadLine(), "primary");
    killed.KillHard();
  }
  // Its socket and its lock file are left behind.
  ASSERT_TRUE(QFile::exists(SocketIn(dir)));
  ASSERT_TRUE(QFile::exists(SocketIn(dir) + ".lock"));

  Probe next(dir.path(), 1);
  ASSERT_EQ(next.ReadLine(), "primary");
  Probe second(dir.path(), 1);
  EXPECT_EQ(second.ReadLine(), "secondary");
  EXPECT_EQ(next.ReadLine(), "activated");
  EXPECT_EQ(next.Finish(), 0);
}

// Releases `starts` probes together; each waits for the activations of all
// the others, so a second primary would be left waiting and fail.
void RaceForTheName(int starts) {
  QTemporaryDir dir;
  const QString barrierPath = dir.path() + "/barrier";
  const int barrier = ::open(QFile::encodeName(barrierPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(barrier, 0);
  const std::unique_ptr<const int, void (*)(const int*)> closeBarrier(&barrier, [](const int* fd) { ::close(*fd); });
  ASSERT_EQ(::flock(barrier, LOCK_EX), 0);
  std::vector<std::unique_ptr<Probe>> probes;
  for (int i = 0; i < starts; ++i) {
    probes.push_back(std::make_unique<Probe>(dir.path(), starts - 1, barrierPath));
    ASSERT_EQ(probes.back()->ReadLine(), "ready");
  }
  ASSERT_EQ(::flock(barrier, LOCK_UN), 0);

  int primaries = 0;
  int secondaries = 0;
  int activations = 0;
  for (auto& probe : probes) {
    const QString role = probe->ReadLine();
    primaries += role == "primary";
    secondaries += role == "secondary";
    EXPECT_EQ(probe->Finish(), 0) << role.toStdString();
    if (role == "primary") activations += static_cast<int>(probe->RestOfOutput().count("activated"));
  }
  EXPECT_EQ(primaries, 1);
  EXPECT_EQ(secondaries, starts - 1);
  EXPECT_EQ(activations, starts - 1);
}

TEST(SingleInstanceProcesses, StartsAtOnceEndWithExactlyOnePrimary) {
  // The window in which two starts can both miss each other is short; several
  // rounds give a broken guard many chances to show.
  for (int round = 0; round < 10 && !HasFailure(); ++round) {
    SCOPED_TRACE(round);
    RaceForTheName(8);
  }
}

}  // namespace
}  // namespace talvo::app
