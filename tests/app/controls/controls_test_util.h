// Helpers shared by the custom control tests: a skin folder of images made
// on the spot, rendering a widget, and comparing pixels with a tolerance
// for anti-aliasing and rounding.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>
#include <string>

namespace talvo::app::test {

// An image of the given size, transparent, with rect filled in colour.
inline bool WriteImage(const QString& path, QSize size, QRect rect, QColor colour) {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter(&image).fillRect(rect, colour);
  return image.save(path);
}

inline QImage Render(QWidget& w) {
  w.ensurePolished();
  QImage image(w.size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  w.render(&image);
  return image;
}

inline testing::AssertionResult Near(const QImage& image, QPoint at, QColor want, int tolerance = 6) {
  const QColor got = image.pixelColor(at);
  if (std::abs(got.red() - want.red()) <= tolerance && std::abs(got.green() - want.green()) <= tolerance &&
      std::abs(got.blue() - want.blue()) <= tolerance)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "at (" << at.x() << "," << at.y() << ") got "
                                     << got.name().toStdString() << " want " << want.name().toStdString();
}

}  // namespace talvo::app::test
