#include "app/toolkit/qt/qt_control.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QAbstractItemView>
#include <QFont>
#include <QTreeWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVariant>
#include <algorithm>
#include <optional>

#include "app/toolkit/qt/colour_palette.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "app/toolkit/qt/skin_files.h"

namespace talvo::app {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

template <typename T>
T* As(QWidget* w) {
  return qobject_cast<T*>(w);
}

QString Rgba(uint32_t argb) {
  return QStringLiteral("rgba(%1,%2,%3,%4)")
      .arg((argb >> 16) & 0xFF)
      .arg((argb >> 8) & 0xFF)
      .arg(argb & 0xFF)
      .arg(argb >> 24);
}

// "file='ms/key.png' …" gives ms/key.png; anything else is the path itself.
QString ImageFile(const QString& image) {
  static const QRegularExpression file(QStringLiteral("file\\s*=\\s*'([^']*)'"));
  const auto m = file.match(image);
  return m.hasMatch() ? m.captured(1) : image.trimmed();
}

// A control's background image, painted as a style sheet's no-repeat,
// centred background-image would be, under the control's own painting (plain
// widgets, frames and labels leave their background to it). The image is
// decoded here from a checked file: a style sheet would have Qt open the file
// itself, and a name pasted into sheet text could restyle the window.
class BackgroundImage final : public QObject {
 public:
  // The widget's painter, made on first use.
  static BackgroundImage& Of(QWidget* widget) {
    auto* found = widget->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly);
    return found ? *static_cast<BackgroundImage*>(found) : *new BackgroundImage(widget);
  }

  void Set(const QString& path) {
    path_ = path;
    Load(static_cast<QWidget*>(parent())->devicePixelRatioF() > 1.0);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || path_.isEmpty()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (const bool hiDpi = widget->devicePixelRatioF() > 1.0; hiDpi != hiDpi_) Load(hiDpi);
    if (pixmap_.isNull()) return false;
    const int border = std::max(0, widget->property("talvoBorderSize").toInt());
    const QRect inside = widget->rect().adjusted(border, border, -border, -border);
    const QRect placed =
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, pixmap_.deviceIndependentSize().toSize(), inside);
    QPainter painter(widget);
    painter.setClipRect(inside);
    painter.drawPixmap(placed.topLeft(), pixmap_);
    return false;
  }

 private:
  static constexpr const char* kName = "talvoBackgroundImage";

  explicit BackgroundImage(QWidget* widget) : QObject(widget) {
    setObjectName(kName);
    widget->installEventFilter(this);
  }

  // The "@2x" variant where the widget is drawn at a higher pixel ratio, as
  // a style sheet picks it; kept as a pixmap, as a style sheet keeps it.
  void Load(bool hiDpi) {
    hiDpi_ = hiDpi;
    QImage image;
    if (!path_.isEmpty() && hiDpi) {
      image = ReadImageFile(HiDpiVariant(path_));
      image.setDevicePixelRatio(2.0);
    }
    if (!path_.isEmpty() && image.isNull()) image = ReadImageFile(path_);
    pixmap_ = QPixmap::fromImage(std::move(image));
  }

  QString path_;
  bool hiDpi_ = false;
  QPixmap pixmap_;
};

bool Exclusive(const QAbstractButton* b) {
  return b->group() ? b->group()->exclusive() : b->autoExclusive();
}

}  // namespace

std::string QtControl::Name() const { return w_ ? S(w_->objectName()) : std::string(); }

std::string QtControl::ClassName() const {
  if (!w_) return {};
  const QVariant registered = w_->property("talvoClass");
  return registered.isValid() ? S(registered.toString()) : w_->metaObject()->className();
}

bool QtControl::IsVisible() const { return w_ && !w_->isHidden(); }

bool QtControl::IsVisibleInWindow() const {
  if (!w_) return false;
  // Shown on screen is shown in the window: one flag, where the walk up to
  // the window costs the previews many times a second.
  if (w_->isVisible()) return true;
  return w_->window() == w_.data() ? !w_->isHidden() : w_->isVisibleTo(w_->window());
}

void QtControl::SetVisible(bool visible) {
  if (w_) w_->setVisible(visible);
}

bool QtControl::IsEnabled() const { return w_ && w_->isEnabled(); }

void QtControl::SetEnabled(bool enabled) {
  if (w_) w_->setEnabled(enabled);
}

void QtControl::ShowText(QWidget* w, const QString& text) {
  if (auto* b = As<QAbstractButton>(w)) b->setText(text);
  else if (auto* l = As<QLabel>(w)) l->setText(text);
  else if (auto* e = As<QLineEdit>(w)) e->setText(text);
  else if (auto* g = As<QGroupBox>(w)) g->setTitle(text);
  else if (auto* c = As<QComboBox>(w); c && c->isEditable()) c->setEditText(text);
  else if (w->isWindow()) w->setWindowTitle(text);
  else w->setProperty("text", text);
}

std::string QtControl::Text() const {
  if (!w_) return {};
  QWidget* w = w_;
  if (auto* b = As<QAbstractButton>(w)) return S(b->text());
  if (auto* l = As<QLabel>(w)) return S(l->text());
  if (auto* e = As<QLineEdit>(w)) return S(e->text());
  if (auto* g = As<QGroupBox>(w)) return S(g->title());
  if (auto* c = As<QComboBox>(w)) return S(c->currentText());
  if (w->isWindow()) return S(w->windowTitle());
  return S(w->property("text").toString());
}

void QtControl::SetText(const std::string& text) {
  if (!w_) return;
  QtWindow::Mute mute(window_);
  w_->setProperty("textId", QVariant());
  ShowText(w_, Q(text));
}

std::string QtControl::TextId() const {
  return w_ ? S(w_->property("textId").toString()) : std::string();
}

void QtControl::SetTextId(const std::string& id) {
  if (!w_) return;
  QtWindow::Mute mute(window_);
  w_->setProperty("textId", Q(id));
  ShowText(w_, window_.ResolveText(Q(id)));
}

std::string QtControl::ToolTip() const { return w_ ? S(w_->toolTip()) : std::string(); }

void QtControl::SetToolTip(const std::string& tip) {
  if (w_) w_->setToolTip(Q(tip));
}

uint32_t QtControl::UIntProperty(const char* name) const {
  return w_ ? w_->property(name).toUInt() : 0;
}

void QtControl::RestyleWidget() {
  if (!w_) return;
  QVariant base = w_->property("talvoBaseStyle");
  if (!base.isValid()) {
    base = w_->styleSheet();
    w_->setProperty("talvoBaseStyle", base);
  }
  QStringList rules;
  if (const uint32_t c = UIntProperty("talvoBkColor")) rules << "background-color: " + Rgba(c);
  // The image itself is painted by BackgroundImage. An empty url keeps the
  // one the layout's style sheet gives from showing under it (Qt ignores
  // "none" there) and names no file.
  if (!w_->property("talvoBkImage").toString().isEmpty()) rules << "background-image: url()";
  if (const int size = w_->property("talvoBorderSize").toInt(); size > 0)
    rules << QStringLiteral("border: %1px solid %2").arg(size).arg(Rgba(UIntProperty("talvoBorderColor")));
  if (const uint32_t c = UIntProperty("talvoTextColor")) rules << "color: " + Rgba(c);
  QString sheet = base.toString();
  if (!rules.isEmpty()) {
    w_->setAttribute(Qt::WA_StyledBackground);
    sheet += "\n#" + w_->objectName() + " { " + rules.join("; ") + "; }";
  }
  w_->setStyleSheet(sheet);
}

uint32_t QtControl::TextColor() const { return UIntProperty("talvoTextColor"); }
void QtControl::SetTextColor(uint32_t argb) {
  if (!w_) return;
  w_->setProperty("talvoTextColor", argb);
  RestyleWidget();
}
uint32_t QtControl::BkColor() const { return UIntProperty("talvoBkColor"); }
void QtControl::SetBkColor(uint32_t argb) {
  if (!w_) return;
  w_->setProperty("talvoBkColor", argb);
  RestyleWidget();
}
std::string QtControl::BkImage() const {
  return w_ ? S(w_->property("talvoBkImage").toString()) : std::string();
}
void QtControl::SetBkImage(const std::string& image) {
  if (!w_) return;
  const QString named = Q(image);
  w_->setProperty("talvoBkImage", named);
  const QString file = ImageFile(named);
  BackgroundImage::Of(w_).Set(file.isEmpty() ? file : window_.GetToolkitQt().SkinPath(file));
  RestyleWidget();
  w_->update();
}
uint32_t QtControl::BorderColor() const { return UIntProperty("talvoBorderColor"); }
void QtControl::SetBorderColor(uint32_t argb) {
  if (!w_) return;
  w_->setProperty("talvoBorderColor", argb);
  RestyleWidget();
}
int QtControl::BorderSize() const { return w_ ? w_->property("talvoBorderSize").toInt() : 0; }
void QtControl::SetBorderSize(int pixels) {
  if (!w_) return;
  w_->setProperty("talvoBorderSize", std::max(0, pixels));
  RestyleWidget();
}
std::string QtControl::UserData() const {
  return w_ ? S(w_->property("userData").toString()) : std::string();
}
void QtControl::SetUserData(const std::string& data) {
  if (w_) w_->setProperty("userData", Q(data));
}

const QtControl::ChangerProperties& QtControl::Changer() const {
  if (!changer_) {
    const QMetaObject* meta = w_ ? w_->metaObject() : nullptr;
    const auto declared = [meta](const char* name) {
      return meta ? meta->property(meta->indexOfProperty(name)) : QMetaProperty();
    };
    changer_ = {declared("changerColor"), declared("changerAlpha"), declared("isChangerColor")};
  }
  return *changer_;
}

QVariant QtControl::ReadChanger(const QMetaProperty& declared, const char* name) const {
  if (!w_) return {};
  return declared.isValid() ? declared.read(w_) : w_->property(name);
}

void QtControl::WriteChanger(const QMetaProperty& declared, const char* name, const QVariant& value) {
  if (!w_) return;
  // A control that declares the property repaints itself when it changes.
  if (declared.isValid()) {
    declared.write(w_, value);
    return;
  }
  w_->setProperty(name, value);
  w_->update();
}

uint32_t QtControl::ChangerColor() const { return ReadChanger(Changer().colour, "changerColor").toUInt(); }
void QtControl::SetChangerColor(uint32_t argb) { WriteChanger(Changer().colour, "changerColor", argb); }
int QtControl::ChangerAlpha() const { return ReadChanger(Changer().alpha, "changerAlpha").toInt(); }
void QtControl::SetChangerAlpha(int alpha) { WriteChanger(Changer().alpha, "changerAlpha", alpha); }
bool QtControl::IsChangerColor() const { return ReadChanger(Changer().on, "isChangerColor").toBool(); }
void QtControl::SetIsChangerColor(bool on) { WriteChanger(Changer().on, "isChangerColor", on); }
void QtControl::SetFocus() {
  if (!w_) return;
  w_->setFocus(Qt::OtherFocusReason);
  // An inactive window takes the focus only when it is activated; the
  // control has it from now on all the same.
  if (!w_->hasFocus()) window_.Raise("setfocus", w_);
}

void QtControl::Invalidate() {
  if (w_) w_->update();
}

namespace {

// What this boundary calls on a key button, looked up by name once per
// class rather than at every call: the previews set every key's light many
// times a second.
struct KeyButtonMembers {
  const QMetaObject* meta = nullptr;
  bool isKey = false;
  QMetaMethod setLight;
  QMetaMethod repaintLights;
};

const KeyButtonMembers& KeyButtonMembersOf(const QMetaObject* meta) {
  // Controls live on the UI thread; the last class asked about is kept.
  thread_local KeyButtonMembers last;
  if (last.meta != meta) {
    last.meta = meta;
    last.isKey = meta->indexOfProperty("keySetHidden") >= 0;
    const int setLight = meta->indexOfMethod("SetLight(uint,int,bool)");
    last.setLight = setLight >= 0 ? meta->method(setLight) : QMetaMethod();
    const int repaint = meta->indexOfMethod("RepaintLights()");
    last.repaintLights = repaint >= 0 ? meta->method(repaint) : QMetaMethod();
  }
  return last;
}

}  // namespace

bool QtControl::IsKeyButton() const { return w_ && KeyButtonMembersOf(w_->metaObject()).isKey; }

void QtControl::SetLight(uint32_t colour, int alpha, bool on) {
  if (!w_) return;
  const KeyButtonMembers& key = KeyButtonMembersOf(w_->metaObject());
  if (key.isKey && key.setLight.isValid())
    key.setLight.invoke(w_, Qt::DirectConnection, Q_ARG(uint, colour), Q_ARG(int, alpha), Q_ARG(bool, on));
}

void QtControl::RepaintLights() {
  if (!w_) return;
  const KeyButtonMembers& key = KeyButtonMembersOf(w_->metaObject());
  if (key.isKey && key.repaintLights.isValid()) key.repaintLights.invoke(w_, Qt::DirectConnection);
}

uint32_t QtControl::LightColour() const { return IsKeyButton() ? w_->property("lightColour").toUInt() : 0; }
int QtControl::LightAlpha() const { return IsKeyButton() ? w_->property("lightAlpha").toInt() : 0; }
bool QtControl::IsLightOn() const { return IsKeyButton() && w_->property("lightOn").toBool(); }

void QtControl::SetKeySetHidden(bool hidden) {
  if (IsKeyButton()) w_->setProperty("keySetHidden", hidden);
}

bool QtControl::IsKeySetHidden() const { return IsKeyButton() && w_->property("keySetHidden").toBool(); }

// Combos, lists and multi-column lists (QTreeWidget) all keep their items in
// a model: one row per item, column 0 the item's text.
QAbstractItemModel* QtControl::Items() const {
  if (auto* c = As<QComboBox>(w_)) return c->model();
  if (auto* v = As<QAbstractItemView>(w_)) return v->model();
  return nullptr;
}

QModelIndex QtControl::Cell(int index, int column) const {
  QAbstractItemModel* m = Items();
  if (!m || index < 0 || index >= m->rowCount() || column < 0) return {};
  if (auto* t = As<QTreeWidget>(w_); t && column >= t->columnCount()) t->setColumnCount(column + 1);
  return m->index(index, column);
}

void QtControl::SetCurrentRow(int index) {
  if (auto* c = As<QComboBox>(w_)) {
    c->setCurrentIndex(index);
    c->setProperty("talvoLastIndex", index);
  } else if (auto* v = As<QAbstractItemView>(w_)) {
    v->setCurrentIndex(index < 0 ? QModelIndex() : v->model()->index(index, 0));
    if (index < 0) v->clearSelection();
  }
}

int QtControl::Count() const {
  QAbstractItemModel* m = Items();
  return m ? m->rowCount() : 0;
}

std::string QtControl::ItemText(int index) const { return ItemColumnText(index, 0); }

void QtControl::SetItemText(int index, const std::string& text) { SetItemColumnText(index, 0, text); }

std::string QtControl::ItemColumnText(int index, int column) const {
  const QModelIndex cell = Cell(index, column);
  return cell.isValid() ? S(cell.data().toString()) : std::string();
}

void QtControl::SetItemColumnText(int index, int column, const std::string& text) {
  const QModelIndex cell = Cell(index, column);
  if (!cell.isValid()) return;
  QtWindow::Mute mute(window_);
  Items()->setData(cell, QVariant(), kTextIdRole);
  Items()->setData(cell, Q(text));
}

void QtControl::SetItemTextId(int index, int column, const std::string& id) {
  const QModelIndex cell = Cell(index, column);
  if (!cell.isValid()) return;
  QtWindow::Mute mute(window_);
  Items()->setData(cell, Q(id), kTextIdRole);
  Items()->setData(cell, window_.ResolveText(Q(id)));
}

std::string QtControl::ItemUserData(int index) const {
  const QModelIndex cell = Cell(index, 0);
  return cell.isValid() ? S(cell.data(Qt::UserRole).toString()) : std::string();
}

void QtControl::SetItemUserData(int index, const std::string& data) {
  if (const QModelIndex cell = Cell(index, 0); cell.isValid()) Items()->setData(cell, Q(data), Qt::UserRole);
}

void QtControl::SetItemHeight(int index, int pixels) {
  const QModelIndex cell = Cell(index, 0);
  if (!cell.isValid()) return;
  int width = 0;
  if (auto* v = As<QAbstractItemView>(w_)) width = v->viewport()->width();
  Items()->setData(cell, QSize(width, std::max(0, pixels)), Qt::SizeHintRole);
}

std::string QtControl::ItemStyle(int index, int column) const {
  const QModelIndex cell = Cell(index, column);
  return cell.isValid() ? S(cell.data(kStyleRole).toString()) : std::string();
}

void QtControl::SetItemStyle(int index, const std::string& style, int column) {
  QAbstractItemModel* m = Items();
  if (!m || index < 0 || index >= m->rowCount()) return;
  const ItemLook* look = window_.GetToolkitQt().FindItemStyle(Q(style));
  const int first = column < 0 ? 0 : column;
  const int last = column < 0 ? std::max(0, m->columnCount() - 1) : column;
  for (int col = first; col <= last; ++col) {
    const QModelIndex cell = Cell(index, col);
    if (!cell.isValid()) continue;
    m->setData(cell, Q(style), kStyleRole);
    m->setData(cell, look && look->textColor ? QVariant(QBrush(QColor::fromRgba(look->textColor))) : QVariant(),
               Qt::ForegroundRole);
    m->setData(cell, look && look->bkColor ? QVariant(QBrush(QColor::fromRgba(look->bkColor))) : QVariant(),
               Qt::BackgroundRole);
    QVariant font;
    if (look && look->bold) {
      QFont bold = w_->font();
      bold.setBold(true);
      font = bold;
    }
    m->setData(cell, font, Qt::FontRole);
  }
}

int QtControl::AddItem(const std::string& text, const std::string& userData) {
  return InsertItem(Count(), text, userData);
}

int QtControl::InsertItem(int index, const std::string& text, const std::string& userData) {
  QAbstractItemModel* m = Items();
  if (!m || index < 0 || index > m->rowCount()) return -1;
  QtWindow::Mute mute(window_);
  // A combo selects its first item by itself; here adding never selects.
  const int current = CurrentIndex();
  if (!m->insertRow(index)) return -1;
  m->setData(m->index(index, 0), Q(text));
  m->setData(m->index(index, 0), Q(userData), Qt::UserRole);
  const int keep = current >= index ? current + 1 : current;
  if (CurrentIndex() != keep) SetCurrentRow(keep);
  return index;
}

bool QtControl::RemoveItem(int index) {
  QAbstractItemModel* m = Items();
  if (!m || index < 0 || index >= m->rowCount()) return false;
  QtWindow::Mute mute(window_);
  // Removing the selected item leaves nothing selected rather than silently
  // selecting a neighbour.
  const int current = CurrentIndex();
  m->removeRow(index);
  SetCurrentRow(current == index ? -1 : (current > index ? current - 1 : current));
  return true;
}

void QtControl::RemoveAllItems() {
  QAbstractItemModel* m = Items();
  if (!m) return;
  QtWindow::Mute mute(window_);
  m->removeRows(0, m->rowCount());
  SetCurrentRow(-1);
}

int QtControl::CurrentIndex() const {
  if (auto* c = As<QComboBox>(w_)) return c->currentIndex();
  if (auto* v = As<QAbstractItemView>(w_)) return v->currentIndex().isValid() ? v->currentIndex().row() : -1;
  return -1;
}

bool QtControl::SelectItem(int index, bool notify) {
  if (!Items() || index < -1 || index >= Count()) return false;
  if (index == CurrentIndex()) return true;
  std::optional<QtWindow::Mute> mute;
  if (!notify) mute.emplace(window_);
  SetCurrentRow(index);
  return true;
}

void QtControl::ReloadItemTexts(QWidget* w, const std::function<QString(const QString&)>& resolve) {
  QAbstractItemModel* m = nullptr;
  if (auto* c = qobject_cast<QComboBox*>(w)) m = c->model();
  else if (auto* v = qobject_cast<QAbstractItemView*>(w)) m = v->model();
  if (!m) return;
  for (int row = 0; row < m->rowCount(); ++row)
    for (int col = 0; col < m->columnCount(); ++col) {
      const QModelIndex cell = m->index(row, col);
      const QString id = cell.data(kTextIdRole).toString();
      if (!id.isEmpty()) m->setData(cell, resolve(id));
    }
}

bool QtControl::IsSelected() const {
  auto* b = As<QAbstractButton>(w_);
  return b && b->isChecked();
}

void QtControl::SetCheck(bool selected, bool notify) {
  auto* b = As<QAbstractButton>(w_);
  if (!b || !b->isCheckable() || b->isChecked() == selected) return;
  std::optional<QtWindow::Mute> mute;
  if (!notify) mute.emplace(window_);
  if (!selected && Exclusive(b)) {
    // Qt refuses to clear the checked button of an exclusive group; the
    // program may, leaving the group with none selected.
    QButtonGroup* group = b->group();
    const bool autoExclusive = b->autoExclusive();
    if (group) group->setExclusive(false);
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(autoExclusive);
    if (group) group->setExclusive(true);
    return;
  }
  b->setChecked(selected);
}

int QtControl::Value() const {
  if (auto* s = As<QAbstractSlider>(w_)) return s->value();
  if (auto* p = As<QProgressBar>(w_)) return p->value();
  return 0;
}

void QtControl::SetValue(int value) {
  QtWindow::Mute mute(window_);
  if (auto* s = As<QAbstractSlider>(w_)) s->setValue(value);
  else if (auto* p = As<QProgressBar>(w_)) p->setValue(std::clamp(value, p->minimum(), p->maximum()));
}

int QtControl::MinValue() const {
  if (auto* s = As<QAbstractSlider>(w_)) return s->minimum();
  if (auto* p = As<QProgressBar>(w_)) return p->minimum();
  return 0;
}

void QtControl::SetMinValue(int value) {
  QtWindow::Mute mute(window_);
  if (auto* s = As<QAbstractSlider>(w_)) s->setMinimum(value);
  else if (auto* p = As<QProgressBar>(w_)) p->setMinimum(value);
}

int QtControl::MaxValue() const {
  if (auto* s = As<QAbstractSlider>(w_)) return s->maximum();
  if (auto* p = As<QProgressBar>(w_)) return p->maximum();
  return 0;
}

void QtControl::SetMaxValue(int value) {
  QtWindow::Mute mute(window_);
  if (auto* s = As<QAbstractSlider>(w_)) s->setMaximum(value);
  else if (auto* p = As<QProgressBar>(w_)) p->setMaximum(value);
}

uint32_t QtControl::SelectColor() const {
  auto* p = As<ColourPalette>(w_);
  return p ? p->SelectColor() : 0;
}

void QtControl::SetSelectColor(uint32_t argb) {
  if (auto* p = As<ColourPalette>(w_)) p->SetSelectColor(argb);
}

int QtControl::CurrentPage() const {
  if (auto* t = As<QTabWidget>(w_)) return t->currentIndex();
  if (auto* s = As<QStackedWidget>(w_)) return s->currentIndex();
  return -1;
}

bool QtControl::SelectPage(int index) {
  if (auto* t = As<QTabWidget>(w_); t && index >= 0 && index < t->count()) {
    t->setCurrentIndex(index);
    return true;
  }
  if (auto* s = As<QStackedWidget>(w_); s && index >= 0 && index < s->count()) {
    s->setCurrentIndex(index);
    return true;
  }
  return false;
}

}  // namespace talvo::app
