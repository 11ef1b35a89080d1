// Drawings of one area of the skin (the mouse pictures, the keyboard, ...)
// live in their own source file and register here; talvo-skin-art runs every
// registered drawing after the common artwork. The helpers below are what the
// areas share: saving, the pair of pixel densities, the icon grid and the
// seeded hash.
#pragma once

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>
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

// Saves an image as an 8-bit PNG at the strongest compression, creating its
// folder; false on failure.
bool SavePng(const QImage& image, const QString& path);

// Draws a picture at 1x and 2x and saves them as `base.png` and
// `base@2x.png` below the skin folder, the names the skin loader looks for.
bool SaveBothScales(const QDir& skin, const QString& base, const std::function<QImage(int scale)>& draw);

// An icon drawn on a side x side grid, rendered antialiased on a transparent
// image at the given pixel scale.
QImage RenderIcon(const std::function<void(QPainter&)>& draw, int side, int scale);

// Integer hash behind the seeded grain and noise, so every run draws the same.
uint32_t Hash(uint32_t x);

}  // namespace talvo::skin_art
