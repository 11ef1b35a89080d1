// The painter of a device picture's keys: one widget laid over the key
// buttons of a parent, so a lighting frame that changes many keys repaints
// one region in one paint, and no key beneath is sent a paint of its own.
//
// While it holds a copy of what lies beneath the keys it is opaque, and a
// paint draws that copy with every shown key over it as the key would draw
// itself (the button's look, its light, its mark), straight into the
// window's pixels where it can. A frame repaints the places of the keys whose
// light changed, or the rectangle around them where they fill at least half
// of it; the keys beneath are never painted. A key whose look may have
// changed (hover, press, check, a new text or mark, shown, hidden or moved)
// asks it to repaint the key's place (CDeviceKeyButtonUI::FollowLook), so the
// keys keep their own looks. Without a copy (hidden, or before the first
// frame) it draws nothing and the keys paint themselves through it.
//
// It covers its parent whole: meant for a parent that holds only keys. It
// takes no mouse events, so clicks, hover and tool tips reach the keys.
#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QWidget>
#include <vector>

#include "app/controls/window_backdrop.h"

namespace talvo::app {

class CDeviceKeyButtonUI;

class KeyPicture final : public QWidget {
  Q_OBJECT

 public:
  // The picture over the keys of parent, made on first use.
  static KeyPicture* Of(QWidget* parent);

  // A key's light changed: it is redrawn at the next repaint.
  void LightChanged() { changed_ = true; }
  // Repaints the places of the keys whose light changed, as one region. Runs
  // outside any paint: it may take the copy beneath first.
  void RepaintChanged();
  // The keys paint nothing themselves: this widget draws them.
  bool PaintsKeys() const { return backdrop_.Grabbing() || backdrop_.Active(); }
  // A key's place (in the parent) repainted, its look having changed.
  void RepaintPlace(const QRect& place);

 protected:
  void changeEvent(QEvent* e) override;
  // A key's new text reaches no key event, only its parent's layout
  // request; a key leaves the picture only through its parent.
  bool eventFilter(QObject* watched, QEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  explicit KeyPicture(QWidget* parent);

  // A shown key and its place in the picture, in the order keys are drawn
  // (keys may overlap: a row's keys reach into the next row).
  struct Slot {
    CDeviceKeyButtonUI* key;
    QRect place;
  };
  class Drawing;
  const std::vector<Slot>& Slots();
  // Takes the pixels of a new copy; whether there was one.
  bool TakeCopy();
  // What a frame that changed these slots' lights repaints.
  QRegion PlacesOf(const std::vector<size_t>& keys) const;

  WindowBackdrop backdrop_{this};
  QImage beneath_;  // the copy's pixels, shared with it
  qint64 copyKey_ = 0;  // the copy they are of
  std::vector<Slot> slots_;
  bool slotsKnown_ = false;
  // The slots whose light changed at the last frame, and what it repainted.
  std::vector<size_t> lastChanged_;
  QRegion lastPlaces_;
  bool changed_ = false;
};

}  // namespace talvo::app
