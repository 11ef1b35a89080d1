// A progress ring: the progress bar's minimum, maximum and value drawn as a
// pie in the foreground colour over a disc in the background colour, with a
// white disc inset 10 pixels on top so only a ring shows.
#pragma once

#include <QColor>
#include <QProgressBar>

namespace talvo::app {

class CCircleProgressUI : public QProgressBar {
  Q_OBJECT
  // Layouts may set these (<property name="bkColor" stdset="0"><color>…);
  // a background colour given through the toolkit (SetBkColor) wins.
  Q_PROPERTY(QColor bkColor READ BkColor WRITE SetBkColor)
  Q_PROPERTY(QColor foreColor READ ForeColor WRITE SetForeColor)

 public:
  explicit CCircleProgressUI(QWidget* parent = nullptr);

  QColor BkColor() const;
  void SetBkColor(const QColor& c);
  QColor ForeColor() const { return fore_; }
  void SetForeColor(const QColor& c);

  // Degrees the foreground pie sweeps: value / (maximum - minimum) of a
  // full turn, within 0..360; 0 when the range is empty or the bar reset.
  double SweepDegrees() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  QSize sizeHint() const override { return {64, 64}; }
  QSize minimumSizeHint() const override { return {24, 24}; }

 private:
  QColor bk_{0x34, 0x39, 0x42};
  QColor fore_{0x1e, 0xc8, 0xff};
};

}  // namespace talvo::app
