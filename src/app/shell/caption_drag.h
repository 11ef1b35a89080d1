// Moving a frameless window by its caption band, as a title bar would.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

namespace talvo::app {

// A left press in the top band of the window, on its background rather than
// on a button, option, text or entry, moves the window; a double click there
// maximizes or restores it.
class CaptionDrag final : public QObject {
 public:
  // Watches the window and every widget inside it at the time of the call.
  CaptionDrag(QWidget* window, int bandHeight);

  // True when a press on widget may move the window.
  static bool IsDragSurface(const QWidget* widget);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool InBand(QWidget* widget, const QPoint& local) const;

  QPointer<QWidget> window_;
  int band_;
  // Manual move for platforms that cannot move a window for us.
  bool dragging_ = false;
  QPoint grabOffset_;
};

}  // namespace talvo::app
