#include "pages/sequence_runner.h"

#include <utility>

namespace talvo::pages {

SequenceRunner::SequenceRunner(toolkit::Toolkit& toolkit, std::function<void()> showProgress,
                               std::function<void()> endProgress)
    : toolkit_(toolkit), showProgress_(std::move(showProgress)), endProgress_(std::move(endProgress)) {}

SequenceRunner::~SequenceRunner() { *alive_ = false; }

void SequenceRunner::Run(device::DeviceSession& session, bool progress, device::DeviceSession::Sequence sequence,
                         Apply apply) {
  if (progress && showProgress_) showProgress_();
  auto finish = [this, progress, apply = std::move(apply)](Outcome outcome) {
    apply(outcome);
    if (progress && endProgress_) endProgress_();
  };
  auto posted = [alive = alive_, finish, &toolkit = toolkit_](Outcome outcome) {
    toolkit.Post([alive, finish, outcome] {
      if (*alive) finish(outcome);
    });
  };
  if (!session.Run(std::move(sequence), std::move(posted))) finish(Outcome::Absent);
}

}  // namespace talvo::pages
