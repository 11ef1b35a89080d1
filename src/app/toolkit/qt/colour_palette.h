// A colour palette: a hue/lightness field the user picks a colour from.
#pragma once

#include <QWidget>
#include <cstdint>

namespace talvo::app {

class ColourPalette : public QWidget {
  Q_OBJECT
 public:
  explicit ColourPalette(QWidget* parent = nullptr);

  uint32_t SelectColor() const { return selected_; }
  // Programmatic selection: repaints, emits nothing.
  void SetSelectColor(uint32_t argb);
  // The user's pick: selects and emits colourPicked.
  void Pick(uint32_t argb);

  // The colour shown at a point of the field (opaque).
  uint32_t ColourAt(QPoint p) const;

 Q_SIGNALS:
  void colourPicked(uint32_t argb);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  QSize sizeHint() const override { return {180, 120}; }

 private:
  uint32_t selected_ = 0xFFFF0000;
};

}  // namespace talvo::app
