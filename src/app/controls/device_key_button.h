// A key of a device picture: a push button that can show the key's light
// (an image tinted with the light colour) and a mark for a key whose
// assignment was changed.
//
// Lit keys change many times a second over a still picture: the keys of one
// parent are drawn by its KeyPicture, which repaints the keys whose light
// changed in one region. The button's own look is drawn once per state and
// size, the light image fitted once per size.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

#include "app/controls/key_picture.h"

namespace talvo::app {

class QtToolkit;

class CDeviceKeyButtonUI : public QPushButton {
  Q_OBJECT
  // The toolkit's Control reaches these by name (QtControl::SetLight and
  // friends); the layout attributes below are dynamic properties instead.
  Q_PROPERTY(uint lightColour READ LightColour WRITE SetLightColour)
  Q_PROPERTY(int lightAlpha READ LightAlpha WRITE SetLightAlpha)
  Q_PROPERTY(bool lightOn READ LightOn WRITE SetLightOn)
  Q_PROPERTY(bool keySetHidden READ KeySetHidden WRITE SetKeySetHidden)

 public:
  // Images are resolved through the toolkit's skin folder when given one.
  explicit CDeviceKeyButtonUI(QWidget* parent = nullptr, const QtToolkit* toolkit = nullptr);

  // colour packed as page colours are: red | blue << 8 | green << 16.
  // Does not repaint; whoever changes the lights repaints the keys.
  Q_INVOKABLE void SetLight(uint colour, int alpha, bool on);
  // Repaints the keys of this key's picture whose light changed, in one
  // region (the key alone when it has no parent).
  Q_INVOKABLE void RepaintLights();
  void SetKeySetHidden(bool hidden);

  uint32_t LightColour() const { return lightColour_; }
  int LightAlpha() const { return lightAlpha_; }
  bool LightOn() const { return lightOn_; }
  bool KeySetHidden() const { return keySetHidden_; }
  const QString& LightImage() const { return lightImage_; }
  const QString& KeySetImage() const { return keySetImage_; }

  // Light images tinted for one paint: keys of the same light image, size
  // and colour share one (a frame often gives many keys one colour).
  class Tints {
   public:
    const QImage& Of(const QImage& light, QColor colour);

   private:
    struct Tinted {
      qint64 light;
      QRgb colour;
      QImage image;
    };
    std::deque<Tinted> tinted_;
  };
  // Draws the key as it shows itself, at the painter's origin, over
  // whatever the painter holds there.
  void PaintKey(QPainter& painter, Tints& tints);
  // The same in one pass of plain pixel arithmetic, into the pixels at
  // place of canvas (RGB32 or premultiplied ARGB32) that lie in clip, with
  // the raster painter's rounding, so the pixels are those PaintKey makes.
  // False, having drawn nothing, where only a painter draws the key as it
  // shows itself: a mark shown, or a device pixel ratio other than 1.
  bool ComposeOnto(QImage& canvas, const QRect& place, const QRect& clip);
  // Whether the light changed since the last call (the picture's repaint).
  bool TakeLightChange() { return std::exchange(lightChanged_, false); }
  // While the picture over the key draws it: repaints the key's place there
  // when its look, mark, visibility or place changed since it last did.
  void FollowLook();

 protected:
  bool event(QEvent* e) override;
  void changeEvent(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void SetLightColour(uint colour);
  void SetLightAlpha(int alpha);
  void SetLightOn(bool on);
  void LightChanged();
  // Layout attributes, matched without regard to case: "lightimage",
  // "keysetimage"; "gmnametextcolor" is accepted and has no effect here.
  void ApplyAttribute(const QByteArray& name);
  // The button as the style draws it in its present state, on transparency.
  const QImage& Look();
  // The light image scaled to the key in device pixels.
  const QImage& FittedLight();

  // What the style's drawing of the button depends on, besides the style,
  // read without asking the style (which costs as much as drawing).
  struct LookKey {
    bool down = false, checked = false, hovered = false, focused = false, enabled = false, active = false;
    QString text;
    QSize size;
    qreal ratio = 0;
    bool operator==(const LookKey&) const = default;
  };
  LookKey PresentLook() const;

  // What the picture was last asked to show of the key.
  struct Shown {
    LookKey look;
    bool markHidden = true, hidden = false;
    QRect place;
    bool operator==(const Shown&) const = default;
  };

  const QtToolkit* toolkit_;
  QString lightImage_;
  QString keySetImage_;
  QString lightPath_;  // the images resolved in the skin
  QString keySetPath_;
  QImage look_;
  LookKey lookKey_;
  QImage fittedLight_;  // shared by the keys of one light image and size
  QSize fittedSize_;
  bool lightChanged_ = false;
  bool lightOn_ = false;
  uint32_t lightColour_ = 255;  // red
  int lightAlpha_ = 200;
  bool keySetHidden_ = true;
  QPointer<KeyPicture> picture_;
  std::optional<Shown> shown_;
};

}  // namespace talvo::app
