#include "scripted_dialogs.h"

#include <utility>

namespace tunelift::testing {

void ScriptedDialogs::AnswerOpenWith(std::string chosenPath, WhileShown whileShown) {
  openAnswers_.push_back({std::move(chosenPath), std::move(whileShown)});
}

void ScriptedDialogs::FailOpenWith(int number, std::string description) {
  ThrowFromOpen(std::make_exception_ptr(Error(number, std::move(description))));
}

void ScriptedDialogs::ThrowFromOpen(std::exception_ptr failure) {
  openAnswers_.push_back({std::move(failure), {}});
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
