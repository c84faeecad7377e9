#include "scripted_dialogs.h"

#include <utility>

namespace tunelift::testing {
namespace {

// A progress dialog that only records: what it showed, whether it is still up, and the
// Cancel the test pressed on it.
class ScriptedProgress : public ProgressDialog {
public:
  explicit ScriptedProgress(ProgressRecord& record) : record_(record) {}
  ~ScriptedProgress() override { record_.open = false; }

  void Update(const ProgressText& text) override { record_.texts.push_back(text); }
  bool Cancelled() const override { return record_.cancelled; }

private:
  ProgressRecord& record_;
};

}  // namespace

void ScriptedDialogs::AnswerOpenWith(std::string chosenPath, WhileShown whileShown) {
  openAnswers_.push_back({std::move(chosenPath), std::move(whileShown)});
}

void ScriptedDialogs::FailOpenWith(int number, std::string description) {
  ThrowFromOpen(std::make_exception_ptr(Error(number, std::move(description))));
}

void ScriptedDialogs::ThrowFromOpen(std::exception_ptr failure) {
  openAnswers_.push_back({std::move(failure), {}});
}

bool ScriptedDialogs::CancelOpenProgress() {
  if (progressDialogs_.empty() || !progressDialogs_.back().open) {
    return false;
  }
  progressDialogs_.back().cancelled = true;
  return true;
}

std::unique_ptr<ProgressDialog> ScriptedDialogs::ShowProgress(const ProgressText& text) {
  ProgressRecord& record = progressDialogs_.emplace_back();
  record.texts.push_back(text);
  record.cancelled = std::exchange(cancelNextProgress_, false);
  return std::make_unique<ScriptedProgress>(record);
}

void ScriptedDialogs::AnswerMsgBoxWith(int answer, WhileShown whileShown) {
  msgBoxAnswers_.push_back({answer, std::move(whileShown)});
}

std::string ScriptedDialogs::ShowOpen(const OpenFileSettings& settings) {
  openCalls_.push_back(settings);
  if (openAnswers_.empty()) {
    throw Error(kCancelErrorNumber, "Cancel was selected.");
  }
  OpenAnswer next = std::move(openAnswers_.front());
  openAnswers_.pop_front();
  if (next.whileShown) {
    next.whileShown();
  }
  if (const std::exception_ptr* failure = std::get_if<std::exception_ptr>(&next.result)) {
    std::rethrow_exception(*failure);
  }
  return std::get<std::string>(next.result);
}

int ScriptedDialogs::MsgBox(const std::string& prompt, int style, const std::string& title) {
  msgBoxCalls_.push_back({prompt, style, title});
  if (msgBoxAnswers_.empty()) {
    return msgbox::kIdOk;
  }
  MsgBoxAnswer next = std::move(msgBoxAnswers_.front());
  msgBoxAnswers_.pop_front();
  if (next.whileShown) {
    next.whileShown();
  }
  return next.answer;
}

}  // namespace tunelift::testing
