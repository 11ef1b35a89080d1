#include "app/controls/skin_image.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <array>

#include "app/toolkit/qt/qt_toolkit.h"
#include "app/toolkit/qt/skin_files.h"

namespace talvo::app {

QString SkinImagePath(const QtToolkit* toolkit, const QString& image) {
  static const QRegularExpression quoted(QStringLiteral("file\\s*=\\s*'([^']*)'"));
  const auto m = quoted.match(image);
  const QString file = m.hasMatch() ? m.captured(1) : image.trimmed();
  if (file.isEmpty() || QDir::isAbsolutePath(file)) return file;
  return toolkit ? toolkit->SkinPath(file) : QStringLiteral("skin:") + file;
}

QImage LoadSkinImage(const QString& path, qreal devicePixelRatio) {
  if (path.isEmpty()) return {};
  static QHash<QString, QImage> cache;
  // The lighting previews paint many times a second: no file system look-up
  // once a path has been seen.
  static QHash<QString, QString> hiDpiFiles;
  QString file = path;
  if (devicePixelRatio > 1.0) {
    auto chosen = hiDpiFiles.constFind(path);
    if (chosen == hiDpiFiles.constEnd()) {
      const QString hiDpi = HiDpiVariant(path);
      chosen = hiDpiFiles.insert(path, QFileInfo::exists(hiDpi) ? hiDpi : path);
    }
    file = *chosen;
  }
  auto it = cache.constFind(file);
  if (it == cache.constEnd())
    it = cache.insert(file, ReadImageFile(file).convertToFormat(QImage::Format_ARGB32_Premultiplied));
  return *it;
}

QImage TintedImage(const QImage& image, QColor tint) {
  QImage out;
  TintImage(image, tint, out);
  return out;
}

void TintImage(const QImage& image, QColor tint, QImage& out) {
  // Premultiplied channels scaled by the tint stay premultiplied.
  const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (out.size() != source.size() || out.format() != source.format() || !out.isDetached())
    out = QImage(source.size(), source.format());
  out.setDevicePixelRatio(source.devicePixelRatio());
  const uint tr = uint(tint.red()), tg = uint(tint.green()), tb = uint(tint.blue());
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < source.width(); ++x) {
      const QRgb p = in[x];
      line[x] = qRgba(int(qRed(p) * tr / 255), int(qGreen(p) * tg / 255), int(qBlue(p) * tb / 255), qAlpha(p));
    }
  }
}

QImage SharedTint(const QImage& image, QRgb colour) {
  struct Tinted {
    qint64 image = 0;
    QRgb colour = 0;
    QImage tinted;
  };
  // Enough for every LED of the three pictures in a colour of its own.
  static constexpr size_t kKept = 64;
  static std::array<Tinted, kKept> kept;
  static size_t next = 0;
  colour |= 0xFF000000;
  const qint64 key = image.cacheKey();
  for (const Tinted& t : kept)
    if (t.image == key && t.colour == colour && !t.tinted.isNull()) return t.tinted;
  Tinted& slot = kept[next];
  next = (next + 1) % kKept;
  slot = {key, colour, TintedImage(image, QColor::fromRgb(colour))};
  return slot.tinted;
}

void DrawAtStrength(QPainter& painter, const QRectF& target, const QImage& image, int strength) {
  if (image.isNull() || strength <= 0) return;
  // Put back by hand: save() and restore() copy the painter's whole state,
  // for every light of a frame.
  const qreal opacity = painter.opacity();
  const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
  painter.setOpacity(opacity * std::min(strength, 255) / 255.0);
  if (!smooth) painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
  painter.setOpacity(opacity);
  if (!smooth) painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

QColor PageColour(uint32_t packed) { return QColor::fromRgb(toolkit::ArgbOfPageColour(packed)); }

}  // namespace talvo::app
