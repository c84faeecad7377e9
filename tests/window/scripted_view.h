#pragma once
// A window without a toolkit, for the handlers' own tests: its list holds the real list
// rules (StagedList) with a selection the test sets, and it records what the handlers asked
// of the window. A test runs the send timer's ticks itself.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"

#include "window/form_view.h"
#include "window/layout.h"
#include "window/staged_list.h"

namespace tunelift::testing {

class ScriptedView : public FormView {
public:
  StagedList& StagedFiles() override { return list_; }
  void SetFolderCaption(const std::string& caption) override { folderCaption_ = caption; }
  void Unload() override { unloaded_ = true; }
  bool Unloaded() const override { return unloaded_; }
  void BeginBusy() override {
    ++busyDepth_;
    ++busyTimes_;
  }
  void EndBusy() noexcept override { --busyDepth_; }
  void ShowSending(std::string_view tooltip) override;
  void HideSending() noexcept override { sendingTooltip_.clear(); }
  void ShowSendProgress(double done) override { progressShown_.push_back(done); }
  void EndSendProgress(bool failed) override;
  void OpenInViewer(const std::string& path) override { opened_.push_back(path); }
  void HideUntilSendsEnd() override { hidden_ = true; }
  void TellSendEnded(const SendNotice& notice) override { told_.push_back(notice); }
  void SetSendTimer(bool enabled) override { timerOn_ = enabled; }
  void SetCopyTimer(bool enabled) override { copyTimerOn_ = enabled; }

  // The next EndSendProgress fails with `failure`, as a desktop that refuses the call would.
  void FailEndSendProgressWith(Error failure) { endProgressFailure_ = std::move(failure); }

  // The names the list shows, in order.
  std::vector<std::string> Shown() const;

  const std::string& folderCaption() const { return folderCaption_; }
  int busyDepth() const { return busyDepth_; }
  int busyTimes() const { return busyTimes_; }
  // The status icon's tooltip while it shows; empty when it does not.
  const std::string& sendingTooltip() const { return sendingTooltip_; }
  // Every tooltip the status icon was given, in order.
  const std::vector<std::string>& tooltips() const { return tooltips_; }
  // Every progress the launcher was given, and the failed flag of each end of it, in order.
  const std::vector<double>& progressShown() const { return progressShown_; }
  const std::vector<bool>& progressEnded() const { return progressEnded_; }
  // The files opened in the desktop's viewer, in order.
  const std::vector<std::string>& opened() const { return opened_; }
  // Whether the window went from the screen while its sends go on.
  bool hidden() const { return hidden_; }
  const std::vector<SendNotice>& told() const { return told_; }
  bool timerOn() const { return timerOn_; }
  bool copyTimerOn() const { return copyTimerOn_; }

private:
  StagedList list_{std::string(kStagedListPattern)};
  std::string folderCaption_;
  bool unloaded_ = false;
  int busyDepth_ = 0;
  int busyTimes_ = 0;
  std::string sendingTooltip_;
  std::vector<std::string> tooltips_;
  std::vector<double> progressShown_;
  std::vector<bool> progressEnded_;
  std::optional<Error> endProgressFailure_;
  std::vector<std::string> opened_;
  bool hidden_ = false;
  std::vector<SendNotice> told_;
  bool timerOn_ = false;
  bool copyTimerOn_ = false;
};

}  // namespace tunelift::testing
