// A copy of what a control's window shows beneath the control, for controls
// that change many times a second over a still picture (lighting previews,
// key pictures). Painting opaque over the copy, a change repaints the control
// alone and nothing behind it.
//
// The copy is taken again when the control's place or size in its window,
// or the window's size, changes, and dropped when the owner hides (a hidden
// page keeps no copy of a window it no longer shows) or says the picture
// beneath changed (a new style).
#pragma once

#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <functional>
#include <span>
#include <vector>

class QPainter;
class QRegion;

namespace talvo::app {

class WindowBackdrop {
 public:
  explicit WindowBackdrop(QWidget* owner) : owner_(owner) {}

  // Brings the copy up to date and makes the owner opaque while it has one.
  // Must run outside any paint, where the window can be drawn. `still` draws
  // whatever part of the owner's own look never changes into the copy once.
  // False when there is no copy: the owner is a window of its own or hidden.
  bool Refresh(const std::function<void(QPainter&)>& still = {});
  void Drop();

  // The copy, null without one; a new copy has a new cache key.
  const QPixmap& Copy() const { return copy_; }
  // The owner is being drawn into the copy: it must paint nothing.
  bool Grabbing() const { return grabbing_; }
  // Whether the owner paints opaque over the copy.
  bool Active() const;
  // Draws the copy. After a move the old copy shows this once; the owner is
  // translucent again and repainted, until the next Refresh takes a new one.
  void Paint(QPainter& painter);
  // The same for the parts of the owner in region alone: small blits where
  // a repaint covers scattered parts.
  void Paint(QPainter& painter, const QRegion& region);
  // What Paint does after drawing, for an owner that draws from the copy
  // itself: once the copy no longer fits the owner's place, the owner is
  // translucent again and repainted.
  void FollowPlace();
  // Draws the owner's parts in region one by one, each clipped to its
  // rectangle (under a clip of many rectangles the raster engine takes its
  // slow path for every image): the copy, then draw(i, painter) for every
  // place that meets the part. The painter's transform is left alone (the
  // raster engine redoes its set-up on every change of it): draw puts its
  // item at places[i] itself.
  void PaintOver(QPainter& painter, const QRegion& region, std::span<const QRect> places,
                 const std::function<void(size_t, QPainter&)>& draw);

 private:
  struct InWindow {
    QWidget* window;
    QRect place;
  };
  // The owner's window and its place there.
  InWindow Place() const;
  bool Current() const;
  void Blit(QPainter& painter, const QRect& part) const;

  QWidget* owner_;
  QPixmap copy_;
  QRect place_;
  QSize windowSize_;
  bool grabbing_ = false;
};

// The children of type T of parent that are not hidden and meet bounds,
// with their places in a widget at offset in parent: what a picture over
// them draws in a paint.
template <typename T>
void ShownChildren(const QWidget& parent, QPoint offset, const QRect& bounds, std::vector<T*>& items,
                   std::vector<QRect>& places) {
  for (QObject* child : parent.children()) {
    auto* item = qobject_cast<T*>(child);
    if (!item || item->isHidden()) continue;
    const QRect place = item->geometry().translated(-offset);
    if (!place.intersects(bounds)) continue;
    items.push_back(item);
    places.push_back(place);
  }
}

}  // namespace talvo::app
