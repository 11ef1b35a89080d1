#include "app/toolkit/qt/qt_toolkit.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "app/toolkit/qt/colour_palette.h"
#include "app/toolkit/qt/deferred_page.h"
#include "app/toolkit/qt/layout_loader.h"
#include "app/toolkit/qt/qt_control.h"
#include "app/toolkit/qt/skin_files.h"
#include "platform/debug.h"

namespace talvo::app {
namespace {

// Shared between a thread waiting in Send and the work queued for the UI
// thread. The work is dropped unrun when the waiter gave up first or when
// the queue is torn down; a waiter never leaves while the work runs, since
// the work may use the waiter's stack.
struct SendState {
  enum class Stage { Queued, Running, Done, Dropped };
  std::mutex mutex;
  std::condition_variable_any changed;
  Stage stage = Stage::Queued;
};

class SendTask {
 public:
  SendTask(std::shared_ptr<SendState> state, std::function<void()> work)
      : state_(std::move(state)), work_(std::move(work)) {}
  SendTask(const SendTask&) = delete;
  SendTask& operator=(const SendTask&) = delete;

  void Run() {
    {
      std::lock_guard lock(state_->mutex);
      if (state_->stage != SendState::Stage::Queued) return;
      state_->stage = SendState::Stage::Running;
    }
    work_();
    Finish(SendState::Stage::Done);
  }

  ~SendTask() { Finish(SendState::Stage::Dropped); }

 private:
  void Finish(SendState::Stage stage) {
    {
      std::lock_guard lock(state_->mutex);
      if (state_->stage == SendState::Stage::Done || state_->stage == SendState::Stage::Dropped) return;
      state_->stage = stage;
    }
    state_->changed.notify_all();
  }

  std::shared_ptr<SendState> state_;
  std::function<void()> work_;
};

bool Named(const QWidget* w) {
  return !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
}

bool ExclusiveButton(const QAbstractButton* b) {
  return b->group() ? b->group()->exclusive() : b->autoExclusive();
}

// Hover and focus of named controls become notifications.
class HoverFocusFilter : public QObject {
 public:
  explicit HoverFocusFilter(QtWindow& window) : window_(window) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    switch (event->type()) {
      case QEvent::Enter: window_.Raise("msenter", w); break;
      case QEvent::Leave: window_.Raise("msleave", w); break;
      case QEvent::FocusIn: window_.Raise("setfocus", w); break;
      case QEvent::FocusOut: window_.Raise("killfocus", w); break;
      default: break;
    }
    return false;
  }

 private:
  QtWindow& window_;
};

}  // namespace

QtToolkit::QtToolkit(QString skinFolder) : skin_(std::move(skinFolder)), context_(std::make_unique<QObject>()) {}

QtToolkit::~QtToolkit() {
  // Dropping the context discards queued work, which releases any waiter.
  context_.reset();
}

void QtToolkit::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(context_.get(), std::move(work), Qt::QueuedConnection);
}

bool QtToolkit::Send(std::function<void()> work, std::stop_token stop) {
  if (IsUiThread()) {
    work();
    return true;
  }
  auto state = std::make_shared<SendState>();
  auto task = std::make_shared<SendTask>(state, std::move(work));
  QMetaObject::invokeMethod(context_.get(), [task] { task->Run(); }, Qt::QueuedConnection);
  task.reset();  // only the queue holds it now, so a discarded queue drops it

  using Stage = SendState::Stage;
  std::unique_lock lock(state->mutex);
  state->changed.wait(lock, stop, [&] { return state->stage == Stage::Done || state->stage == Stage::Dropped; });
  if (state->stage == Stage::Queued) {
    state->stage = Stage::Dropped;
    return false;
  }
  state->changed.wait(lock, [&] { return state->stage == Stage::Done || state->stage == Stage::Dropped; });
  return state->stage == Stage::Done;
}

bool QtToolkit::IsUiThread() const { return QThread::currentThread() == context_->thread(); }

QString QtToolkit::SkinPath(const QString& file) const {
  return QDir::isAbsolutePath(file) ? file : QDir(skin_).filePath(file);
}

bool QtToolkit::LoadLanguage(const std::string& file) {
  const QString path = SkinPath(QString::fromStdString(file));
  const auto bytes = ReadRegularFile(path);
  if (!bytes) {
    std::fprintf(stderr, "talvo: %s: cannot read: not a readable regular file of at most %zu bytes\n",
                 path.toLocal8Bit().constData(), kMaxTextFileBytes);
    return false;
  }
  QString error;
  QString code;
  auto table = ParseLanguage(*bytes, &error, &code);
  if (!table) {
    std::fprintf(stderr, "talvo: %s: %s\n", path.toLocal8Bit().constData(), error.toLocal8Bit().constData());
    return false;
  }
  language_ = std::move(*table);
  QApplication::setFont(UiFont(QApplication::font(), code, QFontDatabase::hasFamily(QStringLiteral("Noto Sans")),
                               [] { return QFontInfo(QFont(QStringLiteral("sans-serif"))).family(); }));
  for (QtWindow* w : windows_) w->ReloadText();
  return true;
}

std::optional<std::string> QtToolkit::LanguageText(std::string_view id) const {
  const auto it = language_.find(std::string(id));
  if (it == language_.end()) return std::nullopt;
  return it->second;
}

void QtToolkit::RegisterControl(const QString& className, ControlFactory factory) {
  factories_[className] = std::move(factory);
}

const QtToolkit::ControlFactory* QtToolkit::FindFactory(const QString& className) const {
  const auto it = factories_.find(className);
  return it == factories_.end() ? nullptr : &it->second;
}

const ItemLook* QtToolkit::FindItemStyle(const QString& name) const {
  const auto it = itemStyles_.find(name);
  return it == itemStyles_.end() ? nullptr : &it->second;
}

QtWindow::QtWindow(QtToolkit& toolkit, toolkit::WindowHandler& handler)
    : toolkit_(toolkit), handler_(handler), filter_(std::make_unique<HoverFocusFilter>(*this)) {
  toolkit_.windows_.push_back(this);
}

QtWindow::~QtWindow() {
  ++muted_;  // tearing widgets down is not a user action
  std::erase(toolkit_.windows_, this);
  timers_.clear();
  delete root_;
}

LayoutLoader::Deferral QtWindow::Deferral() {
  return [this](const QString& pageClass, const QString& name, const QString& file, const QString& namedIn, int depth,
                QWidget* parent) {
    auto* page = new DeferredPage(pageClass, file, namedIn, depth, [this](DeferredPage& p) { BuildPage(p); }, parent);
    unbuilt_.emplace_back(page);
    pages_[name].emplace_back(page);
    return page;
  };
}

bool QtWindow::Create(const QString& layoutFile, Qt::WindowFlags flags) {
  LayoutLoader loader(toolkit_, handler_, 0, Deferral());
  loader.SetRootFlags(flags);
  QWidget* root = loader.Load(layoutFile);
  if (!root) {
    unbuilt_.clear();
    return false;
  }
  root_ = root;
  Wire(root_);
  for (QWidget* w : root_->findChildren<QWidget*>()) Wire(w);
  ReloadText();
  QPointer<QWidget> guard(root_);
  QMetaObject::invokeMethod(
      root_, [this, guard] { if (guard) Raise("windowinit", guard); }, Qt::QueuedConnection);
  return true;
}

void QtWindow::Wire(QWidget* w) {
  if (!Named(w)) return;
  w->installEventFilter(filter_.get());
  if (auto* c = qobject_cast<QComboBox*>(w)) {
    // Items a layout gives as text ids, in order; missing items are made.
    const QStringList itemIds = c->property("itemTextIds").toStringList();
    for (qsizetype i = 0; i < itemIds.size(); ++i) {
      if (i >= c->count()) c->addItem(QString());
      c->setItemData(int(i), itemIds[i], QtControl::kTextIdRole);
    }
    c->setProperty("talvoLastIndex", c->currentIndex());
    QObject::connect(c, &QComboBox::currentIndexChanged, c, [this, c](int index) {
      const int previous = c->property("talvoLastIndex").toInt();
      c->setProperty("talvoLastIndex", index);
      Raise("itemselect", c, index, previous);
    });
  } else if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->selectionModel()) {
    QObject::connect(v->selectionModel(), &QItemSelectionModel::currentRowChanged, v,
                     [this, v](const QModelIndex& now, const QModelIndex& before) {
                       Raise("itemselect", v, now.isValid() ? now.row() : -1, before.isValid() ? before.row() : -1);
                     });
    QObject::connect(v, &QAbstractItemView::clicked, v,
                     [this, v](const QModelIndex& item) { Raise("itemclick", v, item.row()); });
  } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    QObject::connect(b, &QAbstractButton::clicked, b, [this, b] { Raise("click", b); });
    if (b->isCheckable()) {
      QObject::connect(b, &QAbstractButton::toggled, b, [this, b](bool on) {
        // In an exclusive group only the newly selected option speaks.
        if (on || !ExclusiveButton(b)) Raise("selectchanged", b, on);
      });
    }
  } else if (auto* s = qobject_cast<QAbstractSlider*>(w)) {
    s->setTracking(true);
    QObject::connect(s, &QAbstractSlider::valueChanged, s, [this, s](int value) {
      Raise(s->isSliderDown() ? "movevaluechanged" : "valuechanged", s, value);
    });
    QObject::connect(s, &QAbstractSlider::sliderReleased, s, [this, s] { Raise("valuechanged", s, s->value()); });
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    QObject::connect(e, &QLineEdit::textEdited, e, [this, e] { Raise("textchanged", e); });
  } else if (auto* p = qobject_cast<ColourPalette*>(w)) {
    QObject::connect(p, &ColourPalette::colourPicked, p,
                     [this, p](uint32_t argb) { Raise("colorchanged", p, int64_t{argb}); });
  }
}

void QtWindow::Raise(const char* type, QWidget* sender, int64_t wParam, int64_t lParam) {
  if (Muted()) return;
  handler_.Notify(toolkit::Notification{type, sender->objectName().toStdString(), wParam, lParam, ControlFor(sender)});
}

toolkit::Control* QtWindow::FindControl(std::string_view name) {
  if (!root_ || name.empty()) return nullptr;
  const QString qname = QString::fromUtf8(name.data(), qsizetype(name.size()));
  for (;;) {
    QWidget* w = FindBuilt(qname);
    if (w && (w == root_ || w->isVisibleTo(root_))) return ControlFor(w);
    // None yet, or only copies not shown: a page not built may hold the
    // control, or the copy that is shown.
    if (!BuildPageHolding(qname, w != nullptr)) return w ? ControlFor(w) : nullptr;
  }
}

bool QtWindow::IsPageBuilt(std::string_view page) const {
  if (!root_) return false;
  // Pages waiting to be built are known by name; anything else the layout
  // holds was built with the window.
  const auto it = pages_.find(QString::fromUtf8(page.data(), qsizetype(page.size())));
  return it == pages_.end() || std::all_of(it->second.begin(), it->second.end(), [](const QPointer<DeferredPage>& p) {
           return !p || p->Built();
         });
}

QWidget* QtWindow::FindBuilt(const QString& name) const {
  QWidget* w = root_->objectName() == name ? root_ : root_->findChild<QWidget*>(name);
  if (w && w != root_ && !w->isVisibleTo(root_)) {
    for (QWidget* copy : root_->findChildren<QWidget*>(name))
      if (copy->isVisibleTo(root_)) return copy;
  }
  return w;
}

bool QtWindow::BuildPageHolding(const QString& name, bool shownOnly) {
  std::erase_if(unbuilt_, [](const QPointer<DeferredPage>& p) { return !p || p->Built(); });
  DeferredPage* chosen = nullptr;
  for (const QPointer<DeferredPage>& page : unbuilt_) {
    const bool shown = page->isVisibleTo(root_);
    if (shownOnly && !shown) continue;
    if (!NamesIn(page->File(), page->Depth()).contains(name)) continue;
    if (shown) {
      chosen = page;
      break;
    }
    if (!chosen) chosen = page;
  }
  if (!chosen) return false;
  chosen->Build();
  return true;
}

const QSet<QString>& QtWindow::NamesIn(const QString& file, int depth) {
  if (const auto it = namesIn_.find(file); it != namesIn_.end()) return it->second;
  QSet<QString>& names = namesIn_[file];  // empty while being read: a page naming itself ends here
  const auto bytes = ReadRegularFile(toolkit_.SkinPath(file));
  const std::optional<LayoutNames> read = bytes ? ReadLayoutNames(*bytes) : std::nullopt;
  if (!read) return names;
  QSet<QString> all = read->widgets;
  if (depth < LayoutLoader::kMaxDepth) {
    for (const QString& cls : read->classes) {
      if (LayoutLoader::IsQtClass(cls)) continue;
      const toolkit::CreatedControl answer = handler_.CreateControl(cls.toStdString());
      if (answer.kind == toolkit::CreatedControl::Kind::Layout)
        all.unite(NamesIn(QString::fromStdString(answer.name), depth + 1));
    }
  }
  return namesIn_[file] = std::move(all);
}

void QtWindow::BuildPage(DeferredPage& page) {
  LayoutLoader loader(toolkit_, handler_, page.Depth(), Deferral());
  QWidget* built = loader.Load(page.File(), &page);
  if (!built) {
    std::fprintf(stderr, "talvo: %s: page %s could not be built\n", page.NamedIn().toLocal8Bit().constData(),
                 page.PageClass().toLocal8Bit().constData());
    return;
  }
  built->setObjectName(page.objectName());
  debug::Line(("page " + page.objectName() + " built").toStdString());
  Mute mute(*this);
  Wire(built);
  for (QWidget* w : built->findChildren<QWidget*>()) Wire(w);
  ReloadText(built);
  page.Hold(built);
  handler_.OnPageBuilt(page.objectName().toStdString());
}

toolkit::Control* QtWindow::ControlFor(QWidget* widget) {
  auto& slot = controls_[widget];
  if (!slot || !slot->Widget()) slot = std::make_unique<QtControl>(*this, widget);
  return slot.get();
}

void QtWindow::SetTimer(int id, int ms, bool oneShot) {
  if (!toolkit_.IsUiThread()) {
    QMetaObject::invokeMethod(root_ ? static_cast<QObject*>(root_) : toolkit_.context_.get(),
                              [this, id, ms, oneShot] { SetTimer(id, ms, oneShot); }, Qt::QueuedConnection);
    return;
  }
  auto& timer = timers_[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [this, id] { handler_.OnTimer(id); });
  }
  timer->setSingleShot(oneShot);
  // One-shot timers are delays a device is promised (a read after it has
  // settled): never early. Repeating ones may drift to save wake-ups.
  timer->setTimerType(oneShot ? Qt::PreciseTimer : Qt::CoarseTimer);
  timer->start(std::max(0, ms));
}

void QtWindow::KillTimer(int id) {
  if (!toolkit_.IsUiThread()) {
    QMetaObject::invokeMethod(root_ ? static_cast<QObject*>(root_) : toolkit_.context_.get(),
                              [this, id] { KillTimer(id); }, Qt::QueuedConnection);
    return;
  }
  // Stopped, not deleted: this may run inside the timer's own tick.
  if (const auto it = timers_.find(id); it != timers_.end()) it->second->stop();
}

bool QtWindow::IsTimerActive(int id) const {
  const auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

QString QtWindow::ResolveText(const QString& id) const {
  if (auto text = handler_.QueryControlText(id.toStdString())) return QString::fromStdString(*text);
  if (auto text = toolkit_.LanguageText(id.toStdString())) return QString::fromStdString(*text);
  return id;
}

void QtWindow::ReloadText() {
  if (root_) ReloadText(root_);
}

void QtWindow::ReloadText(QWidget* top) {
  Mute mute(*this);
  QList<QWidget*> widgets = top->findChildren<QWidget*>();
  widgets.prepend(top);
  for (QWidget* w : widgets) {
    const QString id = w->property("textId").toString();
    if (!id.isEmpty()) QtControl::ShowText(w, ResolveText(id));
    if (const QString tip = w->property("toolTipId").toString(); !tip.isEmpty()) w->setToolTip(ResolveText(tip));
    QtControl::ReloadItemTexts(w, [this](const QString& itemId) { return ResolveText(itemId); });
  }
}

}  // namespace talvo::app
