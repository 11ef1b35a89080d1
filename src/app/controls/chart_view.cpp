#include "app/controls/chart_view.h"

#include <QAbstractTextDocumentLayout>
#include <QDynamicPropertyChangeEvent>
#include <QPainter>
#include <QStyleOption>
#include <QTextDocument>
#include <algorithm>

#include "app/controls/skin_image.h"

namespace talvo::app {

namespace {

constexpr int kLegendSquare = 18;
constexpr int kLegendRowGap = 4;
constexpr int kLegendWidth = 100;
constexpr int kMargin = 5;

bool IsTrue(const QVariant& v) { return v.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0; }

}  // namespace

const std::array<QColor, 18> CChartViewUI::kPalette{{
    {63, 150, 245}, {255, 90, 1},   {106, 244, 192}, {245, 234, 106}, {252, 123, 151}, {162, 245, 63},
    {157, 144, 252}, {210, 144, 252}, {127, 176, 203}, {244, 196, 113}, {162, 194, 133}, {189, 23, 23},
    {189, 23, 179}, {97, 23, 189},  {23, 43, 189},   {18, 136, 76},   {136, 121, 18},  {136, 38, 18},
}};

CChartViewUI::CChartViewUI(QWidget* parent, const QtToolkit* toolkit) : QWidget(parent), toolkit_(toolkit) {
  setAttribute(Qt::WA_StyledBackground);
}

void CChartViewUI::AddItem(const QString& label, double value) {
  items_.push_back({label, value});
  update();
}

void CChartViewUI::ClearItems() {
  items_.clear();
  update();
}

bool CChartViewUI::event(QEvent* e) {
  if (e->type() == QEvent::DynamicPropertyChange)
    ApplyAttribute(static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName());
  return QWidget::event(e);
}

void CChartViewUI::ApplyAttribute(const QByteArray& name) {
  const QByteArray key = name.toLower();
  const QVariant v = property(name.constData());
  if (key == "view") {
    const QString kind = v.toString().toLower();
    // "histpgram" is the spelling layouts have always used.
    if (kind == QLatin1String("pie")) view_ = View::Pie;
    else if (kind == QLatin1String("histpgram") || kind == QLatin1String("histogram")) view_ = View::Histogram;
  } else if (key == "shadowimage") {
    shadowImage_ = v.toString();
  } else if (key == "shadowimageheight") {
    shadowHeight_ = v.toInt();
  } else if (key == "pillarimage") {
    pillarImage_ = v.toString();
  } else if (key == "pillarimagewidth") {
    pillarWidth_ = v.toInt();
  } else if (key == "showhtml") {
    showHtml_ = IsTrue(v);
  } else if (key == "showtext") {
    showText_ = IsTrue(v);
  } else {
    return;
  }
  update();
}

QColor CChartViewUI::TextColour() const {
  // "talvoTextColor" is where the toolkit keeps a text colour set by code.
  if (const uint argb = property("talvoTextColor").toUInt()) return QColor::fromRgba(argb);
  return palette().color(QPalette::WindowText);
}

int CChartViewUI::LegendWidth() const { return showText_ ? kLegendWidth : 0; }

QRect CChartViewUI::PieRect() const {
  const int legend = LegendWidth();
  const int diameter = std::max(0, std::min(width() - legend - 2 * kMargin, height() - 2 * kMargin));
  const int left = kMargin + (width() - legend - 2 * kMargin - diameter) / 2;
  const int top = kMargin + (height() - 2 * kMargin - diameter) / 2;
  return {left, top, diameter, diameter};
}

QRect CChartViewUI::LegendSquare(int index) const {
  const int n = int(items_.size());
  const int block = n * kLegendSquare + std::max(0, n - 1) * kLegendRowGap;
  const int first = std::max(kMargin, (height() - block) / 2);
  const QRect pie = PieRect();
  return {pie.left() + pie.width() + 10, first + index * (kLegendSquare + kLegendRowGap), kLegendSquare,
          kLegendSquare};
}

int CChartViewUI::Gap() const { return pillarWidth_ > 0 ? 2 * (width() / pillarWidth_) : 0; }

QRect CChartViewUI::PillarRect(int index) const {
  if (pillarWidth_ <= 0 || index < 0 || index >= int(items_.size())) return {};
  double maximum = 0;
  for (const Item& item : items_) maximum = std::max(maximum, item.value);
  const int band = height() - HistogramMargin();
  const double share = maximum > 0 ? std::clamp(items_[size_t(index)].value / maximum, 0.0, 1.0) : 0.0;
  const int tall = int(share * band);
  const int gap = Gap();
  return {gap + index * (gap + pillarWidth_), band - tall, pillarWidth_, tall};
}

void CChartViewUI::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
  if (items_.empty()) return;
  if (view_ == View::Pie)
    PaintPie(painter);
  else
    PaintHistogram(painter);
}

void CChartViewUI::PaintLabel(QPainter& painter, const QRect& box, const QString& text, Qt::Alignment align) const {
  painter.save();
  painter.setClipRect(box);
  if (showHtml_) {
    QTextDocument doc;
    doc.setDefaultFont(font());
    doc.setDocumentMargin(0);
    doc.setHtml(text);
    const QSizeF size = doc.size();
    const qreal x = align & Qt::AlignHCenter ? box.left() + (box.width() - size.width()) / 2 : box.left();
    painter.translate(x, box.top() + (box.height() - size.height()) / 2);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, TextColour());
    doc.documentLayout()->draw(&painter, context);
  } else {
    painter.setPen(TextColour());
    painter.setFont(font());
    painter.drawText(box, int(align | Qt::AlignVCenter) | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(text, Qt::ElideRight, box.width()));
  }
  painter.restore();
}

void CChartViewUI::PaintPie(QPainter& painter) {
  double total = 0;
  for (const Item& item : items_) total += item.value;
  const QRect pie = PieRect();
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(30, 30, 30, 30));
  painter.drawEllipse(QRectF(pie).adjusted(-4, -4, 4, 4));
  painter.setBrush(QColor(100, 100, 100, 100));
  painter.drawEllipse(QRectF(pie).adjusted(-1, -1, 1, 1));
  // From three o'clock, clockwise; Qt counts anticlockwise in 1/16 degree.
  double start = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    const double sweep = total > 0 ? items_[i].value / total * 360.0 : 0.0;
    painter.setBrush(kPalette[i % kPalette.size()]);
    painter.drawPie(QRectF(pie), -qRound(start * 16), -qRound(sweep * 16));
    start += sweep;
  }
  painter.restore();
  if (!showText_) return;
  for (size_t i = 0; i < items_.size(); ++i) {
    const QRect square = LegendSquare(int(i));
    painter.fillRect(square, kPalette[i % kPalette.size()]);
    const int left = square.right() + 1 + kMargin;
    PaintLabel(painter, QRect(left, square.top(), std::max(0, width() - left), kLegendSquare), items_[i].label,
               Qt::AlignLeft);
  }
}

void CChartViewUI::PaintHistogram(QPainter& painter) {
  const int margin = HistogramMargin();
  if (!shadowImage_.isEmpty()) {
    const QImage shadow = LoadSkinImage(SkinImagePath(toolkit_, shadowImage_), devicePixelRatioF());
    if (shadow.isNull())
      shadowImage_.clear();
    else
      painter.drawImage(QRect(0, height() - margin - shadowHeight_, width(), shadowHeight_), shadow);
  }
  QImage pillar;
  if (!pillarImage_.isEmpty()) {
    pillar = LoadSkinImage(SkinImagePath(toolkit_, pillarImage_), devicePixelRatioF());
    if (pillar.isNull()) pillarImage_.clear();
  }
  const int gap = Gap();
  for (size_t i = 0; i < items_.size(); ++i) {
    const QRect bar = PillarRect(int(i));
    if (bar.width() <= 0) continue;
    // Without a pillar image the pillars take the palette's colours.
    if (!pillar.isNull())
      painter.drawImage(bar, pillar);
    else
      painter.fillRect(bar, kPalette[i % kPalette.size()]);
    if (showText_)
      PaintLabel(painter, QRect(bar.left() - gap, height() - margin, bar.width() + 2 * gap, margin), items_[i].label,
                 Qt::AlignHCenter);
  }
}

}  // namespace talvo::app
