#include "scripted_view.h"

namespace tunelift::testing {

void ScriptedView::EndSendProgress(bool failed) {
  if (endProgressFailure_) {
    const Error failure = *endProgressFailure_;
    endProgressFailure_.reset();
    throw failure;
  }
  progressEnded_.push_back(failed);
}

void ScriptedView::ShowSending(std::string_view tooltip) {
  sendingTooltip_ = std::string(tooltip);
  tooltips_.push_back(sendingTooltip_);
}

std::vector<std::string> ScriptedView::Shown() const {
  std::vector<std::string> shown;
  for (const ListEntry& entry : list_.Entries()) {
    shown.push_back(entry.shown);
  }
  return shown;
}

}  // namespace tunelift::testing
