// Keeps another window placed over this control: a QWidget (a child of the
// same window, or a window of its own) or a native QWindow. The hosted
// window follows the control's position and is shown exactly while the
// control is visible; it is never activated or raised.
#pragma once

#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace talvo::app {

class CWndUI : public QWidget {
  Q_OBJECT
 public:
  explicit CWndUI(QWidget* parent = nullptr);

  // Attaching one detaches the other; null detaches. The hosted window is
  // not owned.
  void Attach(QWidget* hosted);
  void Attach(QWindow* hosted);

  // Where the hosted window goes: in its parent widget's coordinates when it
  // is a child of this control's window, in screen coordinates otherwise.
  QRect HostedGeometry() const;

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Place();
  void WatchAncestors();

  QPointer<QWidget> widget_;
  QPointer<QWindow> window_;
  QList<QPointer<QWidget>> watched_;
};

}  // namespace talvo::app
