// Builds a window or page from a Designer UI file in the skin folder, asking
// the window's handler and the registered control classes for elements Qt
// does not know.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>
#include <QString>
#include <QUiLoader>
#include <functional>
#include <optional>

namespace talvo::toolkit {
class WindowHandler;
}

namespace talvo::app {

class QtToolkit;

// Qt's loader loads every Qt Designer widget plugin on the library paths as
// it is made (Qt Quick's, here): that costs start-up time and memory, and a
// layout must not pull a scripting engine in. This base, made first, hides
// the paths until the loader is made.
class WithoutDesignerPlugins {
 protected:
  WithoutDesignerPlugins() : saved_(QCoreApplication::libraryPaths()) { QCoreApplication::setLibraryPaths({}); }
  QStringList saved_;
};

class LayoutLoader : private WithoutDesignerPlugins, public QUiLoader {
 public:
  // What stands for a page until it is built, made from the page's element
  // class and name, its layout file, the layout naming it, its depth and its
  // parent.
  using Deferral = std::function<QWidget*(const QString& pageClass, const QString& name, const QString& file,
                                          const QString& namedIn, int depth, QWidget* parent)>;

  // Pages the layout names are built with it, or, given `defer`, left to it.
  LayoutLoader(QtToolkit& toolkit, toolkit::WindowHandler& handler, int depth = 0, Deferral defer = {});

  // Whether Qt builds the class itself; other classes go to the handler.
  static bool IsQtClass(const QString& className);
  // Pages nest at most this deep.
  static constexpr int kMaxDepth = 8;

  // The root widget, or null after writing the reason (file and line) to
  // stderr. A page layout that fails fails the layout that names it. Only a
  // regular file is read, elements nest at most kMaxXmlDepth deep, and images
  // the layout names that are not regular files are left out.
  QWidget* Load(const QString& file, QWidget* parent = nullptr);
  // Window flags the root is made with when it has no parent; none leaves
  // Qt's. Set on the root before it holds anything: changing a window's
  // flags restyles every widget it holds.
  void SetRootFlags(Qt::WindowFlags flags) { rootFlags_ = flags; }

 protected:
  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

 private:
  QWidget* Fail(const QString& why, QWidget* parent);
  // Nothing after reporting why the layout cannot be used; else the bytes to
  // build from, a null array when they are the file's own.
  std::optional<QByteArray> Checked(const QByteArray& bytes);

  QtToolkit& toolkit_;
  toolkit::WindowHandler& handler_;
  int depth_;
  Deferral defer_;
  QString file_;
  bool failed_ = false;
  Qt::WindowFlags rootFlags_;
};

}  // namespace talvo::app
