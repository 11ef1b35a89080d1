#include "app/windows/about_window.h"

#include <QDesktopServices>
#include <QDialog>
#include <string>

namespace talvo::app {

QPoint AboutWindowPosition(const QRect& mainFrame) {
  const int bottom = mainFrame.y() + mainFrame.height();
  return QPoint(2 * mainFrame.x(), bottom / 2 - 80);
}

QString Ccopyright::ConfiguredWebsite() { return QStringLiteral(TALVO_WEBSITE); }

Ccopyright* Ccopyright::Open(QtToolkit& toolkit, const QRect& mainFrame, const QString& website, UrlOpener opener) {
  auto* about = new Ccopyright(toolkit, website, std::move(opener));
  if (!about->Create(mainFrame)) {
    delete about;
    return nullptr;
  }
  about->dialog_->show();
  return about;
}

Ccopyright::Ccopyright(QtToolkit& toolkit, QString website, UrlOpener opener)
    : window_(toolkit, *this), website_(std::move(website)), opener_(std::move(opener)) {
  if (!opener_) opener_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

Ccopyright::~Ccopyright() = default;

bool Ccopyright::Create(const QRect& mainFrame) {
  if (!window_.Create(kLayout)) return false;
  dialog_ = qobject_cast<QDialog*>(window_.Widget());
  if (!dialog_) return false;
  if (toolkit::Control* version = window_.FindControl("about_version")) version->SetText(std::string("Talvo ") + TALVO_VERSION);
  if (toolkit::Control* link = window_.FindControl("NetText")) link->SetVisible(!website_.isEmpty());
  dialog_->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint);
  dialog_->setModal(false);
  dialog_->resize(kWidth, kHeight);
  dialog_->move(AboutWindowPosition(mainFrame));
  // Freed from the event loop: the dialog is still inside its own signal.
  QObject::connect(dialog_, &QDialog::finished, this, [this] { deleteLater(); }, Qt::SingleShotConnection);
  return true;
}

void Ccopyright::Notify(const toolkit::Notification& n) {
  if (n.type != "click") return;
  if (n.sender == "closebtn") {
    dialog_->close();
  } else if (n.sender == "NetText" && !website_.isEmpty()) {
    opener_(QUrl(website_));
  }
}

}  // namespace talvo::app
