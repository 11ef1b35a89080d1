// A chart of labelled values, as a pie with a legend or as a histogram of
// pillars with their labels underneath.
//
// Layout attributes are dynamic properties, names matched without regard to
// case: "view" ("pie", or "histpgram" / "histogram"), "shadowimage",
// "shadowimageheight", "pillarimage", "pillarimagewidth", "showhtml" and
// "showtext" ("true" turns them on, anything else off). Texts use the
// widget's font and text colour, which the style sheet sets.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

namespace talvo::app {

class QtToolkit;

class CChartViewUI : public QWidget {
  Q_OBJECT
 public:
  enum class View { Pie, Histogram };
  struct Item {
    QString label;
    double value = 0;
  };

  // Slice and pillar colours, used in turn.
  static const std::array<QColor, 18> kPalette;

  explicit CChartViewUI(QWidget* parent = nullptr, const QtToolkit* toolkit = nullptr);

  void AddItem(const QString& label, double value);
  void ClearItems();
  const std::vector<Item>& Items() const { return items_; }

  View CurrentView() const { return view_; }
  bool ShowText() const { return showText_; }
  bool ShowHtml() const { return showHtml_; }
  const QString& ShadowImage() const { return shadowImage_; }
  int ShadowImageHeight() const { return shadowHeight_; }
  const QString& PillarImage() const { return pillarImage_; }
  int PillarImageWidth() const { return pillarWidth_; }

  // Where the pie is drawn: its square, and each legend row's square.
  QRect PieRect() const;
  QRect LegendSquare(int index) const;
  // Where a pillar of the histogram stands.
  QRect PillarRect(int index) const;

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent*) override;
  QSize sizeHint() const override { return {320, 200}; }

 private:
  void ApplyAttribute(const QByteArray& name);
  void PaintPie(QPainter& painter);
  void PaintHistogram(QPainter& painter);
  void PaintLabel(QPainter& painter, const QRect& box, const QString& text, Qt::Alignment align) const;
  QColor TextColour() const;
  int LegendWidth() const;
  int Gap() const;
  int HistogramMargin() const { return showText_ ? 25 : 0; }

  const QtToolkit* toolkit_;
  std::vector<Item> items_;
  View view_ = View::Pie;
  QString shadowImage_;
  int shadowHeight_ = 0;
  QString pillarImage_;
  int pillarWidth_ = 20;
  bool showText_ = true;
  bool showHtml_ = false;
};

}  // namespace talvo::app
