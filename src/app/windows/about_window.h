// The About window: a modeless window that frees itself once closed. It shows
// the program's name, version and licence and, when the build names one, a
// link to the project's web page.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QUrl>
#include <functional>

#include "app/toolkit/qt/qt_toolkit.h"

class QDialog;

namespace talvo::app {

// Where the About window goes for a main window frame: x = 2 × its left
// edge, y = half its bottom edge − 80 (bottom as top + height).
QPoint AboutWindowPosition(const QRect& mainFrame);

class Ccopyright final : public QObject, public toolkit::WindowHandler {
 public:
  static constexpr const char* kLayout = "CopyRight.xml";
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 572;
  using UrlOpener = std::function<void(const QUrl&)>;

  // The web address set when building (TALVO_WEBSITE); empty when none is.
  static QString ConfiguredWebsite();

  // Creates and shows the window placed for the main window's frame; null
  // when the layout cannot be loaded. "NetText" opens website through
  // opener (the desktop's default when empty) and is hidden when website is
  // empty.
  static Ccopyright* Open(QtToolkit& toolkit, const QRect& mainFrame, const QString& website = ConfiguredWebsite(),
                          UrlOpener opener = {});

  QDialog* Dialog() const { return dialog_; }
  void Notify(const toolkit::Notification& n) override;

 private:
  Ccopyright(QtToolkit& toolkit, QString website, UrlOpener opener);
  ~Ccopyright() override;
  bool Create(const QRect& mainFrame);

  QtWindow window_;
  const QString website_;
  UrlOpener opener_;
  QDialog* dialog_ = nullptr;
};

}  // namespace talvo::app
