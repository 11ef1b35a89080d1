#include "art_registry.h"

#include <QFileInfo>

namespace talvo::skin_art {

std::map<std::string, AreaArt>& AreaArtworks() {
  static std::map<std::string, AreaArt> artworks;
  return artworks;
}

bool RegisterAreaArt(const std::string& area, AreaArt draw) {
  return AreaArtworks().emplace(area, std::move(draw)).second;
}

bool SavePng(const QImage& image, const QString& path) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  return image.save(path, "PNG", 9);
}

bool SaveBothScales(const QDir& skin, const QString& base, const std::function<QImage(int scale)>& draw) {
  const bool one = SavePng(draw(1), skin.filePath(base + ".png"));
  const bool two = SavePng(draw(2), skin.filePath(base + "@2x.png"));
  return one && two;
}

QImage RenderIcon(const std::function<void(QPainter&)>& draw, int side, int scale) {
  QImage image(side * scale, side * scale, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  p.setBrush(Qt::NoBrush);
  draw(p);
  p.end();
  return image;
}

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

}  // namespace talvo::skin_art
