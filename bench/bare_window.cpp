// The floor bench_app measures talvo against: a bare Qt Widgets program that
// shows a 1200x800 window and paints it. It prints "painted" after its first
// paint and ends when its standard input closes.
#include <QApplication>
#include <QPainter>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

namespace {

class BareWindow : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), QColor(0x20, 0x22, 0x26));
    if (painted_) return;
    painted_ = true;
    std::puts("painted");
    std::fflush(stdout);
  }

 private:
  bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  BareWindow window;
  window.resize(1200, 800);
  window.show();
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [] {
    char byte;
    if (::read(STDIN_FILENO, &byte, 1) <= 0) QCoreApplication::quit();
  });
  return app.exec();
}
