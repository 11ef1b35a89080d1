// A lighting preview: an image (typically a white LED) drawn tinted with
// the changer colour the lighting previews set through the toolkit.
//
// Previews change many times a second over a still picture: the previews of
// one parent are drawn by its LedPicture, which repaints the ones whose tint
// changed in one region.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <utility>

#include "app/controls/led_picture.h"

class QPainter;

namespace talvo::app {

class QtToolkit;

class CTintImageUI : public QWidget {
  Q_OBJECT
  // "image": skin-relative path. The changer properties are the ones the
  // toolkit's Control sets (SetChangerColor and friends): colour as ARGB
  // whose alpha byte is ignored, alpha 0..255 the strength (0 draws no
  // image), and the switch that turns the tint on.
  Q_PROPERTY(QString image READ Image WRITE SetImage)
  Q_PROPERTY(uint changerColor READ ChangerColor WRITE SetChangerColor)
  Q_PROPERTY(int changerAlpha READ ChangerAlpha WRITE SetChangerAlpha)
  Q_PROPERTY(bool isChangerColor READ IsChangerColor WRITE SetIsChangerColor)

 public:
  explicit CTintImageUI(QWidget* parent = nullptr, const QtToolkit* toolkit = nullptr);

  const QString& Image() const { return image_; }
  void SetImage(const QString& image);
  uint32_t ChangerColor() const { return colour_; }
  void SetChangerColor(uint32_t argb);
  int ChangerAlpha() const { return alpha_; }
  void SetChangerAlpha(int alpha);
  bool IsChangerColor() const { return tinted_; }
  void SetIsChangerColor(bool on);

  // Where the image goes: scaled to fit, centred, its proportions kept.
  QRectF ImageRect() const;

  // The control as it draws itself: its styled background at the painter's
  // origin, then its image for a device pixel ratio (its window's, which the
  // picture over many of them looks up once a paint) with the control's top
  // left corner at `at`.
  void PaintBackground(QPainter& painter) const;
  void PaintLight(QPainter& painter, qreal ratio, QPoint at = {}) const;
  // Whether the tint changed since the last call (the picture's repaint).
  bool TakeLightChange() { return std::exchange(lightChanged_, false); }

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent*) override;
  QSize sizeHint() const override;

 private:
  // The changer state changed: repaint, through the picture when it draws
  // this control.
  void ChangerChanged();
  const QImage& Picture(qreal ratio) const;
  const QImage& TintedPicture(qreal ratio) const;

  const QtToolkit* toolkit_;
  QString image_;
  QString path_;  // image_ resolved in the skin
  mutable QImage picture_;
  mutable qreal pictureRatio_ = 0;
  mutable std::optional<QSize> imageSize_;  // at ratio 1
  mutable QImage tintedPicture_;
  mutable uint32_t tintedColour_ = 0;
  QPointer<LedPicture> ledPicture_;
  bool lightChanged_ = false;
  // White leaves a white image as it is until a colour is given.
  uint32_t colour_ = 0xFFFFFFFF;
  int alpha_ = 255;
  bool tinted_ = true;
};

}  // namespace talvo::app
