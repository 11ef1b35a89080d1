// The toolkit boundary implemented on Qt Widgets.
//
// Layouts are Qt Designer UI files in the skin folder, loaded at run time.
// Conventions the layouts and custom controls share with this code:
// - a control's name is its objectName;
// - a dynamic property "textId" on a widget gives its text as a text id,
//   "toolTipId" its tooltip, and "itemTextIds" (a string list) the texts of
//   a combo's items in order;
// - element classes Qt does not know go to WindowHandler::CreateControl, then
//   to the classes registered with RegisterControl; "ColorPalette" is built in;
//   a class registered under a Qt class's name makes that class's elements;
// - dynamic properties "changerColor" (uint ARGB), "changerAlpha" (int) and
//   "isChangerColor" (bool) carry the tint that image-drawing controls apply;
// - background colour and image, border and text colour are kept in the
//   properties "talvoBkColor", "talvoBkImage", "talvoBorderColor",
//   "talvoBorderSize", "talvoTextColor" and applied as a style sheet rule for
//   the widget's own name, appended to the style sheet the layout gave it;
//   the background image is read through ReadImageFile and painted centred
//   under the widget's content, never named in style sheet text;
// - list items keep user data in Qt::UserRole, their style name and text id
//   in the roles QtControl names;
// - the pages a window's layout names (WindowHandler::CreateControl answering
//   a layout) are built when they first show or when FindControl first looks
//   for a control they hold, each under the page's name.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/toolkit/qt/language.h"
#include "app/toolkit/qt/layout_loader.h"
#include "app/toolkit/qt/layout_names.h"
#include "toolkit/toolkit.h"

class QTimer;

namespace talvo::app {

class QtWindow;

// How items of a named style look; 0 colours leave the list's own.
struct ItemLook {
  uint32_t textColor = 0;
  uint32_t bkColor = 0;
  bool bold = false;
};

class QtToolkit final : public toolkit::Toolkit {
 public:
  using ControlFactory = std::function<QWidget*(QWidget* parent)>;

  // Must be created on the UI thread, after the QApplication.
  explicit QtToolkit(QString skinFolder);
  ~QtToolkit() override;

  void Post(std::function<void()> work) override;
  bool Send(std::function<void()> work, std::stop_token stop = {}) override;
  bool IsUiThread() const override;

  bool LoadLanguage(const std::string& file) override;
  std::optional<std::string> LanguageText(std::string_view id) const override;

  // Custom control classes layouts may name, or classes standing in for a
  // Qt class of that name (a subclass, so the layout's properties apply).
  void RegisterControl(const QString& className, ControlFactory factory);
  const ControlFactory* FindFactory(const QString& className) const;
  // Named item styles list items may be given.
  void RegisterItemStyle(const QString& name, ItemLook look) { itemStyles_[name] = look; }
  const ItemLook* FindItemStyle(const QString& name) const;

  const QString& SkinFolder() const { return skin_; }
  QString SkinPath(const QString& file) const;

 private:
  friend class QtWindow;
  QString skin_;
  std::unique_ptr<QObject> context_;  // lives on the UI thread; target of posted work
  LanguageTable language_;
  std::map<QString, ControlFactory> factories_;
  std::map<QString, ItemLook> itemStyles_;
  std::vector<QtWindow*> windows_;
};

class QtControl;
class DeferredPage;

class QtWindow final : public toolkit::Window {
 public:
  QtWindow(QtToolkit& toolkit, toolkit::WindowHandler& handler);
  ~QtWindow() override;

  // Loads the layout file from the skin folder. On failure the reason, with
  // the file and line, goes to stderr and false is returned. "windowinit" is
  // raised once, from the event loop, after a successful load. A page that
  // fails when it is built later says so the same way and stays empty.
  // `flags`, unless none, are the window's flags from the start.
  bool Create(const QString& layoutFile, Qt::WindowFlags flags = {});
  QWidget* Widget() const { return root_; }

  toolkit::Control* FindControl(std::string_view name) override;
  bool IsPageBuilt(std::string_view page) const override;
  toolkit::Control* ControlFor(QWidget* widget);
  void SetTimer(int id, int ms, bool oneShot = false) override;
  void KillTimer(int id) override;
  bool IsTimerActive(int id) const override;
  void ReloadText() override;
  toolkit::Toolkit& GetToolkit() override { return toolkit_; }
  QtToolkit& GetToolkitQt() { return toolkit_; }

  // The text for an id: the handler first, then the language file, else the id.
  QString ResolveText(const QString& id) const;

  // Programmatic changes made while muted raise nothing.
  class Mute {
   public:
    explicit Mute(QtWindow& w) : w_(w) { ++w_.muted_; }
    ~Mute() { --w_.muted_; }
    Mute(const Mute&) = delete;
    Mute& operator=(const Mute&) = delete;

   private:
    QtWindow& w_;
  };
  void Raise(const char* type, QWidget* sender, int64_t wParam = 0, int64_t lParam = 0);
  bool Muted() const { return muted_ > 0; }

 private:
  LayoutLoader::Deferral Deferral();
  void Wire(QWidget* widget);
  void ReloadText(QWidget* top);
  // The first built widget of that name, or a shown copy of it.
  QWidget* FindBuilt(const QString& name) const;
  void BuildPage(DeferredPage& page);
  // Builds a page not built yet that holds the named widget, preferring one
  // shown with the window; `shownOnly` skips the others. False when there
  // is none.
  bool BuildPageHolding(const QString& name, bool shownOnly);
  // The widget names a page's layout holds, its own pages' included.
  const QSet<QString>& NamesIn(const QString& file, int depth);

  QtToolkit& toolkit_;
  toolkit::WindowHandler& handler_;
  QWidget* root_ = nullptr;
  std::unique_ptr<QObject> filter_;
  std::unordered_map<QWidget*, std::unique_ptr<QtControl>> controls_;
  std::map<int, std::unique_ptr<QTimer>> timers_;
  std::vector<QPointer<DeferredPage>> unbuilt_;
  std::map<QString, std::vector<QPointer<DeferredPage>>> pages_;  // by the page's name
  std::map<QString, QSet<QString>> namesIn_;
  int muted_ = 0;
};

}  // namespace talvo::app
