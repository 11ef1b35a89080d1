#include "app/toolkit/qt/layout_loader.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QXmlStreamReader>
#include <cstdio>

#include "app/toolkit/qt/colour_palette.h"
#include "app/toolkit/qt/qt_toolkit.h"

namespace talvo::app {
namespace {

// Pages may hold pages; a layout that names itself must not recurse forever.
constexpr int kMaxDepth = 8;

void Report(const QString& message) {
  std::fprintf(stderr, "talvo: %s\n", message.toLocal8Bit().constData());
}

}  // namespace

LayoutLoader::LayoutLoader(QtToolkit& toolkit, WindowHandler& handler, int depth)
    : toolkit_(toolkit), handler_(handler), depth_(depth) {
  setWorkingDirectory(QDir(toolkit.SkinFolder()));
}

QWidget* LayoutLoader::Load(const QString& file, QWidget* parent) {
  file_ = toolkit_.SkinPath(file);
  failed_ = false;
  QFile in(file_);
  if (!in.open(QIODevice::ReadOnly)) {
    Report(file_ + ": cannot open: " + in.errorString());
    return nullptr;
  }
  // Qt's own reader does not say where a file is broken; check it first.
  {
    QXmlStreamReader xml(&in);
    while (!xml.atEnd()) xml.readNext();
    if (xml.hasError()) {
      Report(QStringLiteral("%1:%2:%3: %4")
                 .arg(file_)
                 .arg(xml.lineNumber())
                 .arg(xml.columnNumber())
                 .arg(xml.errorString()));
      return nullptr;
    }
  }
  in.seek(0);
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

QWidget* LayoutLoader::Fail(const QString& why, QWidget* parent) {
  Report(file_ + ": " + why);
  failed_ = true;
  // The builder still needs a widget to carry on; the whole load is dropped.
  return new QWidget(parent);
}

QWidget* LayoutLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
  QWidget* made = nullptr;
  QString registeredAs;
  // Qt's list of its own classes is rebuilt on every call; keep one copy.
  static const QSet<QString> qtClasses = [this] {
    const QStringList names = availableWidgets();
    return QSet<QString>(names.begin(), names.end());
  }();
  if (!qtClasses.contains(className)) {
    const CreatedControl answer = handler_.CreateControl(className.toStdString());
    if (answer.kind == CreatedControl::Kind::Layout) {
      if (depth_ >= kMaxDepth) return Fail("pages nested too deeply at " + className, parent);
      LayoutLoader page(toolkit_, handler_, depth_ + 1);
      made = page.Load(QString::fromStdString(answer.name), parent);
      if (!made) return Fail("page " + className + " could not be built", parent);
    } else if (answer.kind == CreatedControl::Kind::Custom) {
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
    return made;
  }
  made = QUiLoader::createWidget(className, parent, name);
  if (!made) return Fail("cannot create " + className + " (" + name + ")", parent);
  return made;
}

}  // namespace talvo::app
