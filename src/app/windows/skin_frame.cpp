#include "app/windows/skin_frame.h"

#include <QDialog>
#include <algorithm>

#include "profiles/main_settings.h"

namespace talvo::app {

SkinObserver& SkinObserver::Instance() {
  static SkinObserver observer;
  return observer;
}

void SkinObserver::Add(SkinReceiver* receiver) {
  if (std::find(receivers_.begin(), receivers_.end(), receiver) == receivers_.end())
    receivers_.push_back(receiver);
}

void SkinObserver::Remove(SkinReceiver* receiver) { std::erase(receivers_, receiver); }

void SkinObserver::Broadcast(const SkinChange& change) {
  // A receiver may remove itself while handling the change.
  const std::vector<SkinReceiver*> receivers = receivers_;
  for (SkinReceiver* r : receivers) {
    if (std::find(receivers_.begin(), receivers_.end(), r) != receivers_.end()) r->OnSkinChanged(change);
  }
}

QPoint SkinFramePosition(const QRect& skinButtonOnScreen, const QSize& frameSize) {
  const int right = skinButtonOnScreen.x() + skinButtonOnScreen.width();
  const int bottom = skinButtonOnScreen.y() + skinButtonOnScreen.height();
  return QPoint(right - frameSize.width(), bottom);
}

CSkinFrame* CSkinFrame::Open(QtToolkit& toolkit, const QRect& skinButtonOnScreen) {
  auto* frame = new CSkinFrame(toolkit);
  if (!frame->Create(skinButtonOnScreen)) {
    delete frame;
    return nullptr;
  }
  frame->dialog_->show();
  return frame;
}

CSkinFrame::CSkinFrame(QtToolkit& toolkit) : toolkit_(toolkit), window_(toolkit, *this) {}

bool CSkinFrame::Create(const QRect& skinButtonOnScreen) {
  if (!window_.Create(kLayout)) return false;
  dialog_ = qobject_cast<QDialog*>(window_.Widget());
  if (!dialog_) return false;
  dialog_->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
  dialog_->setAttribute(Qt::WA_ShowWithoutActivating);
  dialog_->adjustSize();
  dialog_->move(SkinFramePosition(skinButtonOnScreen, dialog_->size()));
  // deleteLater, not a queued delete: a file dialog's nested event loop must
  // not free the chooser while its click is still being handled.
  QObject::connect(dialog_, &QDialog::finished, this, [this] { deleteLater(); }, Qt::SingleShotConnection);
  return true;
}

void CSkinFrame::Notify(const toolkit::Notification& n) {
  if (n.type != "click") return;
  auto page = [&](int index) {
    if (toolkit::Control* tab = window_.FindControl("skin_tab")) tab->SelectPage(index);
  };
  if (n.sender == "skin_image") {
    page(0);
  } else if (n.sender == "skin_color") {
    page(1);
  } else if (n.sender == "skin_image_btn" && n.control) {
    const std::string image = n.control->UserData();
    if (image.empty()) return;
    SkinObserver::Instance().Broadcast(SkinChange{false, 0, image});
    profiles::StoreSkinImage(image);
  } else if (n.sender == "skin_color_btn" && n.control) {
    SkinObserver::Instance().Broadcast(SkinChange{true, n.control->BkColor(), {}});
  } else if (n.sender == "skin_reset") {
    SkinObserver::Instance().Broadcast(SkinChange{false, 0, kDefaultBackground});
    profiles::ResetSkinImage(kDefaultBackground);
  } else if (n.sender == "skin_Custom") {
    // A custom image is shown for this run only.
    if (const auto path = toolkit_.OpenFile(&window_, kCustomFilter))
      SkinObserver::Instance().Broadcast(SkinChange{false, 0, *path});
  }
}

}  // namespace talvo::app
