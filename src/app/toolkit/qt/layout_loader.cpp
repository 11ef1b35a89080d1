#include "app/toolkit/qt/layout_loader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cstdio>
#include <utility>

#include "app/toolkit/qt/colour_palette.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "app/toolkit/qt/skin_files.h"
#include "platform/debug.h"

namespace talvo::app {
namespace {

void Report(const QString& message) {
  std::fprintf(stderr, "talvo: %s\n", message.toLocal8Bit().constData());
}

// Elements of Designer's format whose text is an image file Qt will open.
bool IsImageElement(const QString& name) {
  static const QSet<QString> names = {
      QStringLiteral("iconset"),     QStringLiteral("pixmap"),      QStringLiteral("normaloff"),
      QStringLiteral("normalon"),    QStringLiteral("disabledoff"), QStringLiteral("disabledon"),
      QStringLiteral("activeoff"),   QStringLiteral("activeon"),    QStringLiteral("selectedoff"),
      QStringLiteral("selectedon")};
  return names.contains(name);
}

}  // namespace

LayoutLoader::LayoutLoader(QtToolkit& toolkit, toolkit::WindowHandler& handler, int depth, Deferral defer)
    : toolkit_(toolkit), handler_(handler), depth_(depth), defer_(std::move(defer)) {
  QCoreApplication::setLibraryPaths(saved_);
  setWorkingDirectory(QDir(toolkit.SkinFolder()));
}

bool LayoutLoader::IsQtClass(const QString& className) {
  // Qt's list of its own classes is rebuilt on every call; keep one copy.
  static const QSet<QString> qtClasses = [] {
    struct PlainLoader : WithoutDesignerPlugins, QUiLoader {
      PlainLoader() { QCoreApplication::setLibraryPaths(saved_); }
    };
    const QStringList names = PlainLoader().availableWidgets();
    return QSet<QString>(names.begin(), names.end());
  }();
  return qtClasses.contains(className);
}

QWidget* LayoutLoader::Load(const QString& file, QWidget* parent) {
  file_ = toolkit_.SkinPath(file);
  failed_ = false;
  const auto bytes = ReadRegularFile(file_);
  if (!bytes) {
    Report(QStringLiteral("%1: cannot read: not a readable regular file of at most %2 bytes")
               .arg(file_)
               .arg(kMaxTextFileBytes));
    return nullptr;
  }
  const std::optional<QByteArray> checked = Checked(*bytes);
  if (!checked) return nullptr;
  QBuffer in;
  in.setData(checked->isNull() ? *bytes : *checked);
  in.open(QIODevice::ReadOnly);
  QWidget* root = load(&in, parent);
  if (!root) {
    Report(file_ + ": " + (errorString().isEmpty() ? QStringLiteral("not a layout") : errorString()));
    return nullptr;
  }
  if (failed_) {
    delete root;
    return nullptr;
  }
  return root;
}

// Qt's own reader does not say where a file is broken, recurses once per
// nested element and opens the images a layout names itself, on the UI
// thread. So the layout is read here first: malformed or too deeply nested
// XML fails with its line, and a layout naming an image that is not a regular
// file is rewritten without it.
std::optional<QByteArray> LayoutLoader::Checked(const QByteArray& bytes) {
  QXmlStreamReader xml(bytes);
  QByteArray rewritten;
  QXmlStreamWriter out(&rewritten);
  bool dropped = false;
  // Names of the open elements, and of each the "name" attribute, so that a
  // style sheet's <string> is known by its property.
  QList<std::pair<QString, QString>> open;
  QString text;
  auto fail = [&](const QString& why) -> std::optional<QByteArray> {
    Report(QStringLiteral("%1:%2:%3: %4").arg(file_).arg(xml.lineNumber()).arg(xml.columnNumber()).arg(why));
    return std::nullopt;
  };
  auto safeText = [&]() -> QString {
    const QString& element = open.back().first;
    if (IsImageElement(element)) {
      const QString path = text.trimmed();
      if (path.isEmpty() || path.startsWith(QLatin1Char(':')) || IsRegularFile(toolkit_.SkinPath(path))) return text;
      debug::Line((file_ + ": dropped image " + path + ", not a regular file").toStdString());
      dropped = true;
      return {};
    }
    if (element == QLatin1String("string") && open.size() >= 2 &&
        open[open.size() - 2].second == QLatin1String("styleSheet")) {
      QString sheet = WithSafeImageUrls(text, toolkit_.SkinFolder());
      if (sheet != text) dropped = true;
      return sheet;
    }
    return text;
  };
  while (!xml.atEnd()) {
    switch (xml.readNext()) {
      case QXmlStreamReader::StartElement:
        if (open.size() >= kMaxXmlDepth)
          return fail(QStringLiteral("elements nested deeper than %1").arg(kMaxXmlDepth));
        if (!text.isEmpty()) out.writeCharacters(std::exchange(text, {}));
        open.append({xml.name().toString(), xml.attributes().value(QLatin1String("name")).toString()});
        out.writeCurrentToken(xml);
        break;
      case QXmlStreamReader::Characters:
        text += xml.text();
        break;
      case QXmlStreamReader::EndElement:
        if (!text.isEmpty()) out.writeCharacters(safeText());
        text.clear();
        open.removeLast();
        out.writeCurrentToken(xml);
        break;
      case QXmlStreamReader::Invalid:
        break;
      default:
        if (!text.isEmpty()) out.writeCharacters(std::exchange(text, {}));
        out.writeCurrentToken(xml);
        break;
    }
  }
  if (xml.hasError()) return fail(xml.errorString());
  return dropped ? rewritten : QByteArray();
}

QWidget* LayoutLoader::Fail(const QString& why, QWidget* parent) {
  Report(file_ + ": " + why);
  failed_ = true;
  // The builder still needs a widget to carry on; the whole load is dropped.
  return new QWidget(parent);
}

QWidget* LayoutLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
  QWidget* made = nullptr;
  QString registeredAs;
  if (!IsQtClass(className)) {
    const toolkit::CreatedControl answer = handler_.CreateControl(className.toStdString());
    if (answer.kind == toolkit::CreatedControl::Kind::Layout) {
      if (depth_ >= kMaxDepth) return Fail("pages nested too deeply at " + className, parent);
      const QString file = QString::fromStdString(answer.name);
      if (defer_) {
        made = defer_(className, name, file, file_, depth_ + 1, parent);
      } else {
        LayoutLoader page(toolkit_, handler_, depth_ + 1);
        made = page.Load(file, parent);
        if (!made) return Fail("page " + className + " could not be built", parent);
      }
    } else if (answer.kind == toolkit::CreatedControl::Kind::Custom) {
      registeredAs = QString::fromStdString(answer.name);
      const auto* factory = toolkit_.FindFactory(registeredAs);
      if (!factory) return Fail("no control class " + registeredAs + " for " + className, parent);
      made = (*factory)(parent);
    } else if (const auto* factory = toolkit_.FindFactory(className)) {
      registeredAs = className;
      made = (*factory)(parent);
    } else if (className == QLatin1String("ColorPalette")) {
      registeredAs = className;
      made = new ColourPalette(parent);
    } else {
      return Fail("unknown control class " + className + " (" + name + ")", parent);
    }
    if (!made) return Fail("control class " + className + " made nothing", parent);
    made->setObjectName(name);
    if (!registeredAs.isEmpty()) made->setProperty("talvoClass", registeredAs);
  } else {
    // A registered class may stand in for Qt's own, keeping its name.
    if (const auto* factory = toolkit_.FindFactory(className)) {
      made = (*factory)(parent);
      if (made) made->setObjectName(name);
    } else {
      made = QUiLoader::createWidget(className, parent, name);
    }
    if (!made) return Fail("cannot create " + className + " (" + name + ")", parent);
  }
  if (!parent && rootFlags_) made->setWindowFlags(rootFlags_);
  return made;
}

}  // namespace talvo::app
