// The painter of a device picture's keys: one widget laid over the key
// buttons of a parent, so a lighting frame that changes many keys repaints
// one region in one paint, and no key beneath is sent a paint of its own.
//
// While it holds a copy of what lies beneath the keys it is opaque and draws
// that copy, then every shown key as the key would draw itself (the
// button's look, its light, its mark); the keys beneath it are then never
// painted. A key whose look may have changed (hover, press, check, a new
// text or mark, shown, hidden or moved) asks it to repaint the key's place
// (CDeviceKeyButtonUI::FollowLook), so the keys keep their own looks.
// Without a copy (hidden, or before the first frame) it draws nothing and the
// keys paint themselves through it.
//
// It covers its parent whole: meant for a parent that holds only keys. It
// takes no mouse events, so clicks, hover and tool tips reach the keys.
#pragma once

#include <QWidget>

#include "app/controls/window_backdrop.h"

namespace talvo::app {

class KeyPicture final : public QWidget {
  Q_OBJECT

 public:
  // The picture over the keys of parent, made on first use.
  static KeyPicture* Of(QWidget* parent);

  // A key's light changed: its place joins the next repaint.
  void LightChanged() { changed_ = true; }
  // Repaints the places of the keys whose light changed, as one region.
  // Runs outside any paint: it may take the copy beneath first.
  void RepaintChanged();
  // The keys paint nothing themselves: this widget draws them.
  bool PaintsKeys() const { return backdrop_.Grabbing() || backdrop_.Active(); }
  // A key's place (in the parent) drawn again, its look having changed.
  void RepaintPlace(const QRect& place) { update(place.translated(-pos())); }

 protected:
  void changeEvent(QEvent* e) override;
  // A key's new text reaches no key event, only its parent's layout request.
  bool eventFilter(QObject* watched, QEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  explicit KeyPicture(QWidget* parent);

  WindowBackdrop backdrop_{this};
  bool changed_ = false;
};

}  // namespace talvo::app
