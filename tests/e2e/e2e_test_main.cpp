#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  // QProcess and the local socket client want an application object; no
  // window is shown here, the program under test has its own.
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
