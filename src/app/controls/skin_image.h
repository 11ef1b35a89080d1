// Images the custom controls draw: loaded from the skin folder and tinted
// with a colour at a strength.
#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

namespace talvo::app {

class QtToolkit;

// The file an image string names: "file='kb/light.png' …" or a bare path,
// relative to the toolkit's skin folder (the "skin:" search path without a
// toolkit) unless absolute.
QString SkinImagePath(const QtToolkit* toolkit, const QString& image);

// The image at that path, its "@2x" variant when drawn at a device pixel
// ratio above 1 and one exists; a null image when it cannot be read (see
// ReadImageFile: only regular files, sizes capped). Images,
// and whether a path has an "@2x" variant, are looked up once and kept for
// the life of the process (UI thread only): controls ask on every paint.
QImage LoadSkinImage(const QString& path, qreal devicePixelRatio = 1.0);

// Colours the image: each pixel's red, green and blue are multiplied by the
// tint's, its alpha is kept. A white image becomes the tint colour, shading
// and soft edges stay.
QImage TintedImage(const QImage& image, QColor tint);
// The same into out, whose pixels are reused when it has the image's size.
void TintImage(const QImage& image, QColor tint, QImage& out);
// TintedImage, shared by every control that asks for the same image and
// colour (UI thread only): a lighting frame often gives many LEDs one
// colour, and they then share one tint. The latest few are kept.
QImage SharedTint(const QImage& image, QRgb colour);

// Draws the image stretched over target at strength 0..255 as its opacity:
// strength 0 draws nothing, 255 the image itself.
void DrawAtStrength(QPainter& painter, const QRectF& target, const QImage& image, int strength);

// The colour packed as page controls receive it: red | blue << 8 | green << 16.
QColor PageColour(uint32_t packed);

}  // namespace talvo::app
