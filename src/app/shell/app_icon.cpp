#include "app/shell/app_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPaintDevice>
#include <QPixmap>
#include <array>

namespace talvo::app {
namespace {

constexpr std::array kSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// Chooses a size as Qt's own icons choose among their pixmaps (the smallest
// at least as large, else the largest) and leaves the rest, scaling and
// modes, to an icon of that one file.
class AppIconEngine final : public QIconEngine {
 public:
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return OneSize(size).pixmap(size, 1.0, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal) override {
    return pixmap(size, mode, state);
  }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const QPaintDevice* device = painter->device();
    const qreal ratio = device ? device->devicePixelRatio() : 1.0;
    painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
  }
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
    const int side = Best(size);
    QSize actual(side, side);
    if (side > size.width() || side > size.height()) actual.scale(size, Qt::KeepAspectRatio);
    return actual;
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    QList<QSize> sizes;
    if (mode == QIcon::Normal && state == QIcon::Off)
      for (int side : kSizes) sizes.append(QSize(side, side));
    return sizes;
  }
  QIconEngine* clone() const override { return new AppIconEngine; }

 private:
  static int Best(const QSize& size) {
    const qint64 wanted = qint64(size.width()) * size.height();
    for (int side : kSizes)
      if (qint64(side) * side >= wanted) return side;
    return kSizes.back();
  }
  static QIcon OneSize(const QSize& size) {
    const int side = Best(size);
    QIcon icon;
    icon.addFile(QStringLiteral(":/talvo/icons/%1x%1/talvo.png").arg(side), QSize(side, side));
    return icon;
  }
};

}  // namespace

QIcon AppIcon() { return QIcon(new AppIconEngine); }

}  // namespace talvo::app
