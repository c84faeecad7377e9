// The handlers' side of copying a chosen file: started by ChooseAndStageFile, followed by the copy
// timer's ticks, refused to the buttons meanwhile, stopped by Cancel or by the window's closing.

#include <algorithm>
#include <string>

#include "window/form_handlers.h"
#include "window/layout.h"
#include "window/progress_text.h"

namespace tunelift {
namespace {

constexpr std::string_view kStillCopying =
    "A song is still being copied. Try again when it is done.";
constexpr std::string_view kShowProgress = "Could not show how far the copy has come.";

bool IsButtonClick(FormHandlers::Handler handler) {
  return std::ranges::any_of(
      kClickBindings, [handler](const ClickBinding& click) { return click.handler == handler; });
}

}  // namespace

void FormHandlers::StartCopy(const std::string& chosenPath, std::string_view failureAction) {
  copyName_ = staging_.StagedName(chosenPath);
  copyAction_ = failureAction;
  progressTried_ = false;
  copyBusy_.emplace(view_);
  copy_ = std::make_unique<StagingCopy>(
      [this, chosenPath](const CopyOptions& options) { staging_.StageFile(chosenPath, options); });
  view_.SetCopyTimer(true);
}

// A click that would show a dialog of its own, stage, delete, send or finish under a copy
// that still writes into the staging folder waits for nothing: it is refused, and says why.
bool FormHandlers::RefusedWhileCopying(Handler handler) {
  if (!copy_ || !IsButtonClick(handler)) {
    return false;
  }
  dialogs_.MsgBox(std::string(kStillCopying), msgbox::kOkOnly | msgbox::kIconInformation);
  return true;
}

void FormHandlers::CopyTimerTick() {
  if (!copy_) {
    view_.SetCopyTimer(false);  // a tick that was already on its way as the copy ended
    return;
  }
  if (progress_ && progress_->Cancelled()) {
    // The dialog goes at once; the copy ends at its next step, and the tick that finds it
    // ended tells nothing of it.
    progress_.reset();
    copy_->Cancel();
  }
  if (copy_->Ended()) {
    EndCopy();
  } else if (!copy_->Cancelled()) {
    ShowProgressWhenDue();
  }
}

void FormHandlers::ShowProgressWhenDue() {
  if (progress_) {
    progress_->Update(ProgressTextFor(copyName_, copy_->Progress()));
    return;
  }
  // Not before the copy has begun and its size is known, so that the dialog never says less
  // than it knows.
  if (progressTried_ || !copy_->Begun() || copy_->Elapsed() < options_.progressDelay) {
    return;
  }
  // Tried once only: a dialog that cannot be shown is reported once, and the copy goes on.
  progressTried_ = true;
  Attempting(kShowProgress);
  // The dialog is the sign of the wait now, and over its Cancel button the pointer is the
  // usual one.
  copyBusy_.reset();
  progress_ = dialogs_.ShowProgress(ProgressTextFor(copyName_, copy_->Progress()));
}

void FormHandlers::EndCopy() {
  // Everything of the copy goes before anything is told, so that a failure to tell leaves no
  // timer running for nothing, and a box shows under no busy cursor.
  const std::unique_ptr<StagingCopy> ended = std::move(copy_);
  const std::string_view failureAction = copyAction_;
  DropCopy();
  Attempting(failureAction);
  try {
    ended->TakeOutcome();
  } catch (const Error& error) {
    // What the user cancelled needs no word.
    if (error.number() != errnum::kUserInterrupt) {
      throw;
    }
  }
}

void FormHandlers::WindowClosed() {
  DropCopy();
}

void FormHandlers::DropCopy() {
  view_.SetCopyTimer(false);
  progress_.reset();
  copyBusy_.reset();
  // A copy still running is stopped and waited for: it ends within a step.
  copy_.reset();
}

// The send timer's tick stages and deletes nothing, and re-reading the folder four times a
// second would only flicker; the copy timer's changes the folder only as the copy ends.
bool FormHandlers::ListMayHaveChanged(Handler handler) const {
  if (handler == &FormHandlers::SendTimerTick) {
    return false;
  }
  return handler != &FormHandlers::CopyTimerTick || !copy_;
}

}  // namespace tunelift
