// A Control on a Qt widget: combos are QComboBox, lists QListWidget (or
// QTreeWidget for lists whose items have several columns), options
// and checks checkable QAbstractButtons, edits QLineEdit, labels QLabel,
// sliders QAbstractSlider, progress bars QProgressBar, tab layouts
// QTabWidget or QStackedWidget, palettes ColourPalette.
//
// Key buttons are reached through the Qt properties they declare
// ("lightColour", "lightAlpha", "lightOn", "keySetHidden") and their
// invokables SetLight and RepaintLights, so this boundary needs no
// knowledge of the control classes themselves.
#pragma once

#include <QAbstractItemModel>
#include <QMetaProperty>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "toolkit/toolkit.h"

namespace talvo::app {

class QtWindow;

class QtControl final : public toolkit::Control {
 public:
  QtControl(QtWindow& window, QWidget* widget) : window_(window), w_(widget) {}

  QWidget* Widget() const { return w_; }

  std::string Name() const override;
  std::string ClassName() const override;
  bool IsVisible() const override;
  bool IsVisibleInWindow() const override;
  void SetVisible(bool visible) override;
  bool IsEnabled() const override;
  void SetEnabled(bool enabled) override;
  void SetFocus() override;

  std::string Text() const override;
  void SetText(const std::string& text) override;
  std::string TextId() const override;
  void SetTextId(const std::string& id) override;
  std::string ToolTip() const override;
  void SetToolTip(const std::string& tip) override;

  uint32_t TextColor() const override;
  void SetTextColor(uint32_t argb) override;
  uint32_t BkColor() const override;
  void SetBkColor(uint32_t argb) override;
  std::string BkImage() const override;
  void SetBkImage(const std::string& image) override;
  uint32_t BorderColor() const override;
  void SetBorderColor(uint32_t argb) override;
  int BorderSize() const override;
  void SetBorderSize(int pixels) override;
  std::string UserData() const override;
  void SetUserData(const std::string& data) override;

  uint32_t ChangerColor() const override;
  void SetChangerColor(uint32_t argb) override;
  int ChangerAlpha() const override;
  void SetChangerAlpha(int alpha) override;
  bool IsChangerColor() const override;
  void SetIsChangerColor(bool on) override;
  void Invalidate() override;

  void SetLight(uint32_t colour, int alpha, bool on) override;
  uint32_t LightColour() const override;
  int LightAlpha() const override;
  bool IsLightOn() const override;
  void RepaintLights() override;
  void SetKeySetHidden(bool hidden) override;
  bool IsKeySetHidden() const override;
  // The widget declares the key button's properties.
  bool IsKeyButton() const;

  int Count() const override;
  std::string ItemText(int index) const override;
  void SetItemText(int index, const std::string& text) override;
  std::string ItemUserData(int index) const override;
  void SetItemUserData(int index, const std::string& data) override;
  void SetItemHeight(int index, int pixels) override;
  std::string ItemColumnText(int index, int column) const override;
  void SetItemColumnText(int index, int column, const std::string& text) override;
  void SetItemTextId(int index, int column, const std::string& id) override;
  std::string ItemStyle(int index, int column = 0) const override;
  void SetItemStyle(int index, const std::string& style, int column = -1) override;
  int AddItem(const std::string& text, const std::string& userData = {}) override;
  int InsertItem(int index, const std::string& text, const std::string& userData = {}) override;
  bool RemoveItem(int index) override;
  void RemoveAllItems() override;
  int CurrentIndex() const override;
  bool SelectItem(int index, bool notify = true) override;

  bool IsSelected() const override;
  void SetCheck(bool selected, bool notify = true) override;

  int Value() const override;
  void SetValue(int value) override;
  int MinValue() const override;
  void SetMinValue(int value) override;
  int MaxValue() const override;
  void SetMaxValue(int value) override;

  uint32_t SelectColor() const override;
  void SetSelectColor(uint32_t argb) override;

  int CurrentPage() const override;
  bool SelectPage(int index) override;

  // Shows text on whichever kind of widget this is.
  static void ShowText(QWidget* w, const QString& text);
  // Re-resolves the items of a combo or list whose texts were given as ids.
  static void ReloadItemTexts(QWidget* w, const std::function<QString(const QString&)>& resolve);

  // Item data beyond text and user data (Qt::UserRole).
  static constexpr int kStyleRole = Qt::UserRole + 1;
  static constexpr int kTextIdRole = Qt::UserRole + 2;

 private:
  QAbstractItemModel* Items() const;
  QModelIndex Cell(int index, int column) const;
  void SetCurrentRow(int index);
  void RestyleWidget();
  uint32_t UIntProperty(const char* name) const;
  // The changer properties as the widget declares them (invalid where it
  // does not), found once: previews set them many times a second.
  struct ChangerProperties {
    QMetaProperty colour, alpha, on;
  };
  const ChangerProperties& Changer() const;
  QVariant ReadChanger(const QMetaProperty& declared, const char* name) const;
  void WriteChanger(const QMetaProperty& declared, const char* name, const QVariant& value);

  QtWindow& window_;
  QPointer<QWidget> w_;
  mutable std::optional<ChangerProperties> changer_;
};

}  // namespace talvo::app
