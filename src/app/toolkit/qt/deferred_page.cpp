#include "app/toolkit/qt/deferred_page.h"

#include <QVBoxLayout>
#include <utility>

namespace talvo::app {

DeferredPage::DeferredPage(QString pageClass, QString file, QString namedIn, int depth,
                           std::function<void(DeferredPage&)> build, QWidget* parent)
    : QWidget(parent),
      pageClass_(std::move(pageClass)),
      file_(std::move(file)),
      namedIn_(std::move(namedIn)),
      depth_(depth),
      build_(std::move(build)) {}

void DeferredPage::Build() {
  if (built_) return;
  built_ = true;
  build_(*this);
}

void DeferredPage::Hold(QWidget* page) {
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  box->setSpacing(0);
  box->addWidget(page);
  // A widget added to a shown parent stays hidden until shown; a page whose
  // layout hides it stays hidden.
  if (isVisible() && !page->testAttribute(Qt::WA_WState_ExplicitShowHide)) page->show();
}

void DeferredPage::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  Build();
}

}  // namespace talvo::app
