// Pop-up menus from the skin folder and what their items do.
//
// A menu file lists its items in order:
//   <menu>
//     <item name="lan_en" text="menu_lan_en" userdata="en"/>
//   </menu>
// "text" is a text id; "userdata" may be left out.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"

class QAction;
class QMenu;
class QWidget;

namespace talvo::app {

struct MenuItem {
  std::string name;
  std::string text;  // a text id unless textIsId is false
  std::string userData;
  bool textIsId = true;
  // Set for an item shown with a check mark: whether it is checked.
  std::optional<bool> checked = std::nullopt;

  bool operator==(const MenuItem&) const = default;
};

inline constexpr const char* kMainMenuFile = "menu.xml";
inline constexpr const char* kTrayMenuFile = "menu1.xml";

// The items of a menu file; nothing when it is not a well-formed menu or an
// item has no name.
std::optional<std::vector<MenuItem>> ParseMenu(const QByteArray& bytes);

// The items of a menu file in the skin folder, empty when it cannot be read.
// The tray menu starts with "exit", shown as "关闭" in every language.
std::vector<MenuItem> LoadMenu(const QtToolkit& toolkit, const QString& file, bool withExit);

// A menu whose actions carry their items; texts resolved through owner (its
// handler first, then the language file).
QMenu* BuildMenu(const std::vector<MenuItem>& items, QtWindow& owner, QWidget* parent = nullptr);
// The item an action of BuildMenu stands for.
MenuItem ItemOf(const QAction* action);
// Shows the menu at a screen point and waits; nothing when dismissed.
std::optional<MenuItem> RunMenu(const std::vector<MenuItem>& items, QtWindow& owner, const QPoint& at);

enum class MenuAction {
  ApplyEnglish,
  ApplyChinese,
  OpenAbout,
  Exit,
  Nothing,
  ShowItemText,  // message box with the item's text as a text id
  ToggleSdkServer,
  ToggleStartAtLogin,
};

MenuAction ActionForMenuItem(std::string_view name);

}  // namespace talvo::app
