// The UI boundary: everything feature pages may do with windows and controls,
// in plain C++. Only the implementation in qt/ knows the widget toolkit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::toolkit {

class Control;

// Page colours are packed red | blue << 8 | green << 16; this is the same
// colour as opaque ARGB, the toolkit's other colour form.
constexpr uint32_t ArgbOfPageColour(uint32_t packed) {
  const uint32_t red = packed & 0xFF, blue = (packed >> 8) & 0xFF, green = (packed >> 16) & 0xFF;
  return 0xFF000000u | red << 16 | green << 8 | blue;
}

// Types raised: "windowinit", "click", "selectchanged", "itemselect",
// "itemclick", "valuechanged", "movevaluechanged", "textchanged",
// "killfocus", "setfocus", "msenter", "msleave", "colorchanged".
struct Notification {
  std::string type;
  std::string sender;          // control name of the sender
  // itemselect, itemclick: item index; selectchanged: 1 selected, 0 not;
  // valuechanged, movevaluechanged: the value; colorchanged: the ARGB colour.
  int64_t wParam = 0;
  int64_t lParam = 0;          // itemselect: previous index (-1 for none)
  Control* control = nullptr;  // the sender itself, for identity checks
};

// A named control of a window. Owned by its window; the pointer stays valid
// while the window lives. Operations that do not apply to the control's kind
// do nothing and getters return neutral values (0, -1, empty, false).
class Control {
 public:
  virtual ~Control() = default;

  virtual std::string Name() const = 0;
  virtual std::string ClassName() const = 0;

  // Own visibility flag.
  virtual bool IsVisible() const = 0;
  // The control and every parent up to its window are shown.
  virtual bool IsVisibleInWindow() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool IsEnabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Gives the control the keyboard focus, raising "setfocus".
  virtual void SetFocus() = 0;

  // Displayed text; SetText forgets any text id. SetTextId shows the
  // resolved text and keeps the id so a language change re-resolves it.
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual std::string TextId() const = 0;
  virtual void SetTextId(const std::string& id) = 0;
  virtual std::string ToolTip() const = 0;
  virtual void SetToolTip(const std::string& tip) = 0;

  // Colours are ARGB; 0 means "not set" (the layout's own look applies).
  virtual uint32_t TextColor() const = 0;
  virtual void SetTextColor(uint32_t argb) = 0;
  virtual uint32_t BkColor() const = 0;
  virtual void SetBkColor(uint32_t argb) = 0;
  // Image as "file='dir/name.png'" or a bare path, relative to the skin
  // folder unless absolute; empty clears it.
  virtual std::string BkImage() const = 0;
  virtual void SetBkImage(const std::string& image) = 0;
  virtual uint32_t BorderColor() const = 0;
  virtual void SetBorderColor(uint32_t argb) = 0;
  virtual int BorderSize() const = 0;
  virtual void SetBorderSize(int pixels) = 0;
  virtual std::string UserData() const = 0;
  virtual void SetUserData(const std::string& data) = 0;

  // Tint of the control's image (lighting previews); controls that draw
  // images read these when painting.
  virtual uint32_t ChangerColor() const = 0;
  virtual void SetChangerColor(uint32_t argb) = 0;
  virtual int ChangerAlpha() const = 0;
  virtual void SetChangerAlpha(int alpha) = 0;
  virtual bool IsChangerColor() const = 0;
  virtual void SetIsChangerColor(bool on) = 0;
  virtual void Invalidate() = 0;

  // Key buttons of the device pictures. The light colour is packed as page
  // colours are (red | blue << 8 | green << 16); alpha 0..255 is the strength
  // of the light. SetLight readies the key for its next paint without
  // repainting; the lighting previews repaint the keys once per frame:
  // RepaintLights on any key of a picture repaints, in one pass, the keys of
  // that picture whose light was readied since. SetKeySetHidden repaints when
  // the value changes.
  // Other controls ignore these and report 0 and false.
  virtual void SetLight(uint32_t colour, int alpha, bool on) = 0;
  virtual void RepaintLights() = 0;
  virtual uint32_t LightColour() const = 0;
  virtual int LightAlpha() const = 0;
  virtual bool IsLightOn() const = 0;
  virtual void SetKeySetHidden(bool hidden) = 0;
  virtual bool IsKeySetHidden() const = 0;

  // Combos and lists.
  virtual int Count() const = 0;
  virtual std::string ItemText(int index) const = 0;
  virtual void SetItemText(int index, const std::string& text) = 0;
  virtual std::string ItemUserData(int index) const = 0;
  virtual void SetItemUserData(int index, const std::string& data) = 0;
  virtual void SetItemHeight(int index, int pixels) = 0;
  // Lists whose items have columns; column 0 is the item's text.
  virtual std::string ItemColumnText(int index, int column) const = 0;
  virtual void SetItemColumnText(int index, int column, const std::string& text) = 0;
  // An item text given as an id, re-resolved on a language change.
  virtual void SetItemTextId(int index, int column, const std::string& id) = 0;
  // A named look from the skin's item styles; column -1 styles the whole item.
  virtual std::string ItemStyle(int index, int column = 0) const = 0;
  virtual void SetItemStyle(int index, const std::string& style, int column = -1) = 0;
  // Appends an item; returns its index, or -1 when the control has no items.
  virtual int AddItem(const std::string& text, const std::string& userData = {}) = 0;
  // Inserts an item before `index` (Count() appends); the selected item stays
  // selected. Returns its index, or -1 when the control has no items or the
  // index is out of range.
  virtual int InsertItem(int index, const std::string& text, const std::string& userData = {}) = 0;
  virtual bool RemoveItem(int index) = 0;
  virtual void RemoveAllItems() = 0;
  virtual int CurrentIndex() const = 0;  // -1 for none
  // Selecting the current item again changes nothing and raises nothing;
  // otherwise "itemselect" is raised when notify is set.
  virtual bool SelectItem(int index, bool notify = true) = 0;

  // Options and check boxes. "selectchanged" is raised only on a change and
  // when notify is set. Selecting an option of an exclusive group clears the
  // others quietly: only the newly selected one notifies.
  virtual bool IsSelected() const = 0;
  virtual void SetCheck(bool selected, bool notify = true) = 0;

  // Sliders and progress bars; setting a value never notifies.
  virtual int Value() const = 0;
  virtual void SetValue(int value) = 0;
  virtual int MinValue() const = 0;
  virtual void SetMinValue(int value) = 0;
  virtual int MaxValue() const = 0;
  virtual void SetMaxValue(int value) = 0;

  // Colour palettes; setting never notifies.
  virtual uint32_t SelectColor() const = 0;
  virtual void SetSelectColor(uint32_t argb) = 0;

  // Tab layouts: the page shown; -1 for other controls.
  virtual int CurrentPage() const = 0;
  virtual bool SelectPage(int index) = 0;
};

// What a custom layout element becomes.
struct CreatedControl {
  enum class Kind { None, Layout, Custom };
  Kind kind = Kind::None;
  std::string name;  // layout file (Layout) or registered control class (Custom)

  static CreatedControl FromLayout(std::string file) { return {Kind::Layout, std::move(file)}; }
  static CreatedControl FromClass(std::string cls) { return {Kind::Custom, std::move(cls)}; }
};

// The window's own code, called on the UI thread.
class WindowHandler {
 public:
  virtual ~WindowHandler() = default;
  virtual void Notify(const Notification& n) = 0;
  virtual void OnTimer(int /*id*/) {}
  // Asked for every element class the toolkit does not know itself.
  virtual CreatedControl CreateControl(std::string_view /*element*/) { return {}; }
  // Asked before the language file for every text given as an id.
  virtual std::optional<std::string> QueryControlText(std::string_view /*id*/) { return std::nullopt; }
  // A page CreateControl made of a layout was built, with its controls; it
  // shows nothing of the program's data yet.
  virtual void OnPageBuilt(std::string_view /*page*/) {}
};

class Toolkit;

class Window {
 public:
  virtual ~Window() = default;
  // The named control, or null. Where a layout is used twice (the cursor
  // macros on the keyboard and the mouse page) the copy shown is found, else
  // the first. A page not built yet that holds the control is built first.
  virtual Control* FindControl(std::string_view name) = 0;
  // False while the named page waits to be built: pages may be built only
  // when they are first shown or looked into (WindowHandler::OnPageBuilt).
  virtual bool IsPageBuilt(std::string_view /*page*/) const { return true; }
  // Timers fire on the UI thread through WindowHandler::OnTimer. Setting a
  // running id restarts it with the new period.
  virtual void SetTimer(int id, int ms, bool oneShot = false) = 0;
  virtual void KillTimer(int id) = 0;
  virtual bool IsTimerActive(int id) const = 0;
  // Re-resolves every text given as an id.
  virtual void ReloadText() = 0;
  virtual Toolkit& GetToolkit() = 0;
};

// A program the program chooser offers: the name it shows and the link
// choosing it makes.
struct ProgramRow {
  std::string name;
  std::string link;
  bool operator==(const ProgramRow&) const = default;
};
// Lists the programs to offer. It may wait on the display server, so the
// chooser calls it off the UI thread.
using ProgramLister = std::function<std::vector<ProgramRow>()>;

// Message box and file dialogs, supplied by the application shell.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // 1 confirmed, 0 cancelled or closed.
  virtual int ShowMessage(Window* parent, const std::string& text, bool textIsId) = 0;
  // The chosen path, or nothing when cancelled. filter as "Name (*.ext)".
  virtual std::optional<std::string> OpenFile(Window* parent, const std::string& filter) = 0;
  virtual std::optional<std::string> SaveFile(Window* parent, const std::string& filter,
                                              const std::string& suggestedName) = 0;
  // The link of the program the user chose among those `programs` lists, or
  // the path of a file of `filter` browsed for; nothing when cancelled. A
  // shell without a chooser of its own only browses.
  virtual std::optional<std::string> ChooseProgram(Window* parent, const ProgramLister& /*programs*/,
                                                   const std::string& filter) {
    return OpenFile(parent, filter);
  }
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Queues work for the UI thread and returns at once.
  virtual void Post(std::function<void()> work) = 0;
  // Runs work on the UI thread and waits for it; on the UI thread itself it
  // runs directly. Returns false when the work did not run: stop was
  // requested while waiting, or the toolkit went away first.
  virtual bool Send(std::function<void()> work, std::stop_token stop = {}) = 0;
  virtual bool IsUiThread() const = 0;

  // Loads a language file from the skin folder and re-resolves the texts of
  // every window. A file that cannot be loaded leaves the previous texts.
  virtual bool LoadLanguage(const std::string& file) = 0;
  virtual std::optional<std::string> LanguageText(std::string_view id) const = 0;

  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
  // Without a shell nothing is confirmed and nothing is chosen.
  int ShowMessage(Window* parent, const std::string& text, bool textIsId = true) {
    return dialogs_ ? dialogs_->ShowMessage(parent, text, textIsId) : 0;
  }
  std::optional<std::string> OpenFile(Window* parent, const std::string& filter) {
    return dialogs_ ? dialogs_->OpenFile(parent, filter) : std::nullopt;
  }
  std::optional<std::string> SaveFile(Window* parent, const std::string& filter,
                                      const std::string& suggestedName) {
    return dialogs_ ? dialogs_->SaveFile(parent, filter, suggestedName) : std::nullopt;
  }
  std::optional<std::string> ChooseProgram(Window* parent, const ProgramLister& programs, const std::string& filter) {
    return dialogs_ ? dialogs_->ChooseProgram(parent, programs, filter) : std::nullopt;
  }

 private:
  Dialogs* dialogs_ = nullptr;
};

}  // namespace talvo::toolkit
