// The painter of a device picture's LEDs: one widget laid over the tint
// images of a parent, so a lighting frame that changes many LEDs repaints
// one region in one paint, and no LED beneath is sent a paint of its own.
//
// While it holds a copy of what lies beneath the LEDs it is opaque and draws
// that copy, then every shown LED as the LED would draw itself; the LEDs
// beneath it are then never painted. An LED whose tint changed asks for a
// repaint of its place; those of one pass of the event loop are repainted
// together. Without a copy (hidden, or before the first change) it draws
// nothing and the LEDs paint themselves through it.
//
// It covers the rectangle around the parent's shown LEDs: meant for LEDs
// over a still picture, with no other control over them. It takes no mouse
// events, so tool tips and clicks reach what lies beneath.
#pragma once

#include <QRect>
#include <QRegion>
#include <QWidget>
#include <vector>

#include "app/controls/window_backdrop.h"

namespace talvo::app {

class CTintImageUI;

class LedPicture final : public QWidget {
  Q_OBJECT

 public:
  // The picture over the LEDs of parent, made on first use.
  static LedPicture* Of(QWidget* parent);

  // An LED's tint changed: its place joins the repaint queued for the
  // LEDs' changes.
  void LightChanged();
  // An LED was shown, hidden, moved, resized or restyled: the picture
  // follows and repaints every LED.
  void LedsChanged();
  // Whether the picture draws this LED, which then paints nothing itself.
  bool PaintsLed(const CTintImageUI& led) const;

  // While one is open, the LEDs' changes wait for the last to close, which
  // paints them at once: a frame shown from a timer then takes no further
  // pass of the event loop (no queued call, no posted update).
  class Batch {
   public:
    Batch();
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
  };

 protected:
  void changeEvent(QEvent* e) override;
  // Hidden, its copy of the window would go stale: it is dropped, and the
  // LEDs paint themselves until the next change takes a new one.
  void hideEvent(QHideEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  // Its paints draw images alone: a painter on it takes none of the
  // widget's pen, brush and font (resolving the font for the screen costs
  // a paint more than its images).
  void initPainter(QPainter*) const override {}

 private:
  explicit LedPicture(QWidget* parent);
  // Repaints the places of the LEDs whose tint changed, as one region: now,
  // or from the next pass of the event loop. Runs outside any paint: it may
  // take the copy beneath first.
  enum class When { Later, Now };
  void RepaintChanged(When when = When::Later);
  void Queue();
  // The places of changed_, moved into this widget, as one region.
  const QRegion& ChangedRegion();

  WindowBackdrop backdrop_{this};
  // The LEDs a paint draws and their places, kept for the next paint's use.
  std::vector<CTintImageUI*> leds_;
  std::vector<QRect> places_;
  std::vector<QRect> changed_;  // the places of the LEDs whose tint changed
  std::vector<QRect> regionPlaces_;
  QRegion region_;  // of regionPlaces_
  bool queued_ = false;
  bool all_ = false;
};

}  // namespace talvo::app
