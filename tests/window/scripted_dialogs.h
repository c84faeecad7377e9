#pragma once
// Dialogs that answer from a script and record every call, so that tests click through the
// window without a modal dialog ever appearing.

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "core/error.h"
#include "window/dialogs.h"
#include "window/progress_text.h"

namespace tunelift::testing {

struct MsgBoxCall {
  std::string prompt;
  int style = 0;
  std::string title;
};

// One progress dialog as the handlers showed it.
struct ProgressRecord {
  std::vector<ProgressText> texts;  // as it showed, then each update
  bool open = true;
  bool cancelled = false;
};

class ScriptedDialogs : public Dialogs {
public:
  // Runs while a dialog or box is up, before it answers: tests look at the world then.
  using WhileShown = std::function<void()>;

  void AnswerOpenWith(std::string chosenPath, WhileShown whileShown = {});
  void FailOpenWith(int number, std::string description);
  // The dialog throws `failure` itself, as a failing toolkit call would.
  void ThrowFromOpen(std::exception_ptr failure);
  void AnswerMsgBoxWith(int answer, WhileShown whileShown = {});
  // The user presses Cancel on the progress dialog that is open now (false when none is), or
  // on the next one as soon as it shows.
  bool CancelOpenProgress();
  void CancelNextProgress() { cancelNextProgress_ = true; }

  // An open-file dialog that has no answer left is cancelled; a box answers OK.
  std::string ShowOpen(const OpenFileSettings& settings) override;
  int MsgBox(const std::string& prompt, int style, const std::string& title = {}) override;
  std::unique_ptr<ProgressDialog> ShowProgress(const ProgressText& text) override;

  const std::vector<OpenFileSettings>& openCalls() const { return openCalls_; }
  const std::vector<MsgBoxCall>& msgBoxCalls() const { return msgBoxCalls_; }
  const std::deque<ProgressRecord>& progressDialogs() const { return progressDialogs_; }

private:
  struct OpenAnswer {
    std::variant<std::string, std::exception_ptr> result;
    WhileShown whileShown;
  };
  struct MsgBoxAnswer {
    int answer;
    WhileShown whileShown;
  };

  std::deque<OpenAnswer> openAnswers_;
  std::deque<MsgBoxAnswer> msgBoxAnswers_;
  std::vector<OpenFileSettings> openCalls_;
  std::vector<MsgBoxCall> msgBoxCalls_;
  // A deque, so that the dialogs handed out keep their records where they are.
  std::deque<ProgressRecord> progressDialogs_;
  bool cancelNextProgress_ = false;
};

}  // namespace tunelift::testing
