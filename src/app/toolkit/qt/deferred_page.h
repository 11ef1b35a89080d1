// A page of a layout built the first time it shows or one of its controls
// is looked for: the window answers at once although most pages are never
// seen in a run. It stands where the page goes, under the page's name, and
// the page is built inside it filling it.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace talvo::app {

class DeferredPage final : public QWidget {
 public:
  // `build` builds the page into it; the page's element class and the
  // layout that names it are for the message when it cannot be built.
  DeferredPage(QString pageClass, QString file, QString namedIn, int depth, std::function<void(DeferredPage&)> build,
               QWidget* parent);

  const QString& PageClass() const { return pageClass_; }
  const QString& File() const { return file_; }
  const QString& NamedIn() const { return namedIn_; }
  int Depth() const { return depth_; }
  bool Built() const { return built_; }

  // Builds the page once; later calls do nothing.
  void Build();
  // Puts the built page in, filling this.
  void Hold(QWidget* page);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  QString pageClass_;
  QString file_;
  QString namedIn_;
  int depth_;
  std::function<void(DeferredPage&)> build_;
  bool built_ = false;
};

}  // namespace talvo::app
