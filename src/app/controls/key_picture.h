// The painter of a device picture's keys: one widget laid over the key
// buttons of a parent, so a lighting frame that changes many keys repaints
// one region in one paint, and no key beneath is sent a paint of its own.
//
// While it holds a copy of what lies beneath the keys it is opaque and
// shows its canvas: that copy with every shown key drawn over it as the key
// would draw itself (the button's look, its light, its mark). A frame
// redraws on the canvas the keys whose light changed, each over its own
// piece of the copy, or the rectangle around them where they fill at least
// half of it; a paint only copies the canvas to the screen, and the keys
// beneath are never painted. A key whose look may have changed (hover,
// press, check, a new text or mark, shown, hidden or moved) asks it to
// redraw the key's place (CDeviceKeyButtonUI::FollowLook), so the keys keep
// their own looks. Without a copy (hidden, or before the first frame) it
// draws nothing and the keys paint themselves through it.
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
  // Redraws the keys whose light changed and repaints their places, as one
  // region. Runs outside any paint: it may take the copy beneath first.
  void RepaintChanged();
  // The keys paint nothing themselves: this widget draws them.
  bool PaintsKeys() const { return backdrop_.Grabbing() || backdrop_.Active(); }
  // A key's place (in the parent) drawn again, its look having changed.
  void RepaintPlace(const QRect& place);

 protected:
  void changeEvent(QEvent* e) override;
  // A key's new text reaches no key event, only its parent's layout
  // request; a key leaves the canvas only through its parent.
  bool eventFilter(QObject* watched, QEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  explicit KeyPicture(QWidget* parent);

  // A shown key, its place in the picture, and the shown keys that meet
  // that place, itself among them, in the order they are drawn (keys may
  // overlap: a row's keys reach into the next row).
  struct Slot {
    CDeviceKeyButtonUI* key;
    QRect place;
    std::vector<size_t> meets;
  };
  class Drawing;
  const std::vector<Slot>& Slots();
  // Brings the canvas up to the copy and the keys' looks; the places it
  // redrew.
  QRegion Catch(Drawing& drawing);
  // The copy, then every key meeting area, within area.
  void Redraw(Drawing& drawing, const QRect& area);
  // The copy within area.
  void Restore(const QRect& area);
  // What a frame that changed these slots' lights draws again.
  QRegion PlacesOf(const std::vector<size_t>& keys) const;
  QRect InCanvas(const QRect& r) const;

  WindowBackdrop backdrop_{this};
  QImage beneath_;  // the copy's pixels, shared with it
  QImage canvas_;
  qint64 copyKey_ = 0;  // the copy the canvas was drawn over
  QRegion stale_;   // places whose keys' looks changed
  std::vector<Slot> slots_;
  bool slotsKnown_ = false;
  // The slots whose light changed at the last frame, and what it drew.
  std::vector<size_t> lastChanged_;
  QRegion lastPlaces_;
  bool changed_ = false;
};

}  // namespace talvo::app
