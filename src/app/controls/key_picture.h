// The painter of a device picture's keys: one widget laid under the key
// buttons of a parent, so a lighting frame that changes many keys repaints
// one region in one paint instead of a widget per key.
//
// While it holds a copy of what lies beneath the keys it is opaque and draws
// that copy, then every shown key as the key would draw itself (the
// button's look, its light, its mark); the keys above it then paint
// nothing. Anything that repaints a key (hover, press, a new text or mark, a
// key shown or hidden) repaints this widget beneath it, so the keys keep
// their own looks. Without a copy (hidden, or before the first frame) it
// draws nothing and the keys paint themselves.
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

 protected:
  void changeEvent(QEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  explicit KeyPicture(QWidget* parent);

  WindowBackdrop backdrop_{this};
  bool changed_ = false;
};

}  // namespace talvo::app
