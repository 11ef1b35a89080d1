#include "app/windows/menus.h"

#include <QAction>
#include <QMenu>
#include <QPoint>
#include <QXmlStreamReader>
#include <memory>

#include "app/toolkit/qt/skin_files.h"

namespace talvo::app {
namespace {

// The item kept on its action: name as objectName, user data as data().
constexpr const char* kTextProperty = "menuText";
constexpr const char* kTextIsIdProperty = "menuTextIsId";

}  // namespace

std::optional<std::vector<MenuItem>> ParseMenu(const QByteArray& bytes) {
  QXmlStreamReader xml(bytes);
  if (!xml.readNextStartElement() || xml.name() != u"menu") return std::nullopt;
  std::vector<MenuItem> items;
  while (xml.readNextStartElement()) {
    if (xml.name() != u"item") return std::nullopt;
    const QXmlStreamAttributes a = xml.attributes();
    MenuItem item;
    item.name = a.value(QLatin1String("name")).toString().toStdString();
    item.text = a.value(QLatin1String("text")).toString().toStdString();
    item.userData = a.value(QLatin1String("userdata")).toString().toStdString();
    if (item.name.empty()) return std::nullopt;
    items.push_back(std::move(item));
    xml.skipCurrentElement();
  }
  xml.readNext();
  if (xml.hasError()) return std::nullopt;
  return items;
}

std::vector<MenuItem> LoadMenu(const QtToolkit& toolkit, const QString& file, bool withExit) {
  std::vector<MenuItem> items;
  if (withExit) items.push_back(MenuItem{"exit", "关闭", {}, false});
  const auto bytes = ReadRegularFile(toolkit.SkinPath(file));
  if (!bytes) return items;
  if (auto parsed = ParseMenu(*bytes)) items.insert(items.end(), parsed->begin(), parsed->end());
  return items;
}

QMenu* BuildMenu(const std::vector<MenuItem>& items, QtWindow& owner, QWidget* parent) {
  auto* menu = new QMenu(parent);
  for (const MenuItem& item : items) {
    const QString text = QString::fromStdString(item.text);
    QAction* action = menu->addAction(item.textIsId ? owner.ResolveText(text) : text);
    action->setObjectName(QString::fromStdString(item.name));
    action->setData(QString::fromStdString(item.userData));
    action->setProperty(kTextProperty, text);
    action->setProperty(kTextIsIdProperty, item.textIsId);
    if (item.checked) {
      action->setCheckable(true);
      action->setChecked(*item.checked);
    }
  }
  return menu;
}

MenuItem ItemOf(const QAction* action) {
  return MenuItem{action->objectName().toStdString(), action->property(kTextProperty).toString().toStdString(),
                  action->data().toString().toStdString(), action->property(kTextIsIdProperty).toBool(),
                  action->isCheckable() ? std::optional<bool>(action->isChecked()) : std::nullopt};
}

std::optional<MenuItem> RunMenu(const std::vector<MenuItem>& items, QtWindow& owner, const QPoint& at) {
  const std::unique_ptr<QMenu> menu(BuildMenu(items, owner));
  const QAction* chosen = menu->exec(at);
  if (!chosen) return std::nullopt;
  return ItemOf(chosen);
}

MenuAction ActionForMenuItem(std::string_view name) {
  if (name == "lan_en") return MenuAction::ApplyEnglish;
  if (name == "lan_cn") return MenuAction::ApplyChinese;
  if (name == "About_setting") return MenuAction::OpenAbout;
  if (name == "sdk_server") return MenuAction::ToggleSdkServer;
  if (name == "autostart") return MenuAction::ToggleStartAtLogin;
  if (name == "exit") return MenuAction::Exit;
  if (name == "qianting" || name == "Menu_Import" || name == "Menu_Export") return MenuAction::Nothing;
  return MenuAction::ShowItemText;
}

}  // namespace talvo::app
