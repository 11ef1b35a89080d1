// Drawings of one area of the skin (the mouse pictures, the keyboard, ...)
// live in their own source file and register here; talvo-skin-art runs every
// registered drawing after the common artwork.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <functional>
#include <map>
#include <string>

namespace talvo::skin_art {

// Writes the area's PNGs below the skin folder; false when one cannot be
// written.
using AreaArt = std::function<bool(const QDir& skin)>;

std::map<std::string, AreaArt>& AreaArtworks();

// For a file-level `static const bool registered = RegisterAreaArt(...)`.
bool RegisterAreaArt(const std::string& area, AreaArt draw);

// Saves an image as an 8-bit PNG, creating its folder; false on failure.
bool SavePng(const QImage& image, const QString& path);

}  // namespace talvo::skin_art
