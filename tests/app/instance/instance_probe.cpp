// Starts like Talvo does: `instance_probe RUNTIME_DIR [ACTIVATIONS [BARRIER]]`.
// A second start prints "secondary" and exits 0. The first prints "primary",
// then "activated" for each activation, and exits 0 after ACTIVATIONS of them
// (default 1), or 3 when they do not come within half a minute. With a
// BARRIER file it prints "ready" and waits for a shared lock on that file
// before starting: a test holding the file's exclusive lock releases many
// starts at the same moment.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/instance/single_instance.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: instance_probe RUNTIME_DIR [ACTIVATIONS]\n");
    return 2;
  }
  const int wanted = argc > 2 ? std::atoi(argv[2]) : 1;
  if (argc > 3) {
    const int barrier = ::open(argv[3], O_RDONLY | O_CLOEXEC);
    if (barrier < 0) return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    if (::flock(barrier, LOCK_SH) != 0) return 2;
    ::close(barrier);
  }

  talvo::app::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
  if (instance.Acquire() == talvo::app::SingleInstance::Role::Secondary) {
    std::printf("secondary\n");
    return 0;
  }
  std::printf("primary\n");
  std::fflush(stdout);
  if (wanted <= 0) return 0;

  int received = 0;
  QObject::connect(&instance, &talvo::app::SingleInstance::activated, &app, [&] {
    std::printf("activated\n");
    std::fflush(stdout);
    if (++received == wanted) app.exit(0);
  });
  QTimer::singleShot(30000, &app, [&] { app.exit(3); });
  return app.exec();
}
