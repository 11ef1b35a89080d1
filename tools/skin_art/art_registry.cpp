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

}  // namespace talvo::skin_art
