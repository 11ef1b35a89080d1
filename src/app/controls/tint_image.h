// A lighting preview: an image (typically a white LED) drawn tinted with
// the changer colour the lighting previews set through the toolkit.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

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

 protected:
  void paintEvent(QPaintEvent*) override;
  QSize sizeHint() const override;

 private:
  const QtToolkit* toolkit_;
  QString image_;
  // White leaves a white image as it is until a colour is given.
  uint32_t colour_ = 0xFFFFFFFF;
  int alpha_ = 255;
  bool tinted_ = true;
};

}  // namespace talvo::app
