#pragma once
// A window without a toolkit, for the handlers' own tests: its list holds the real list
// rules (StagedList) with a selection the test sets, and it records what the handlers asked
// of the window. A test runs the send timer's ticks itself.

#include <string>
#include <vector>

#include "window/form_view.h"
#include "window/layout.h"
#include "window/staged_list.h"

namespace tunelift::testing {

class ScriptedView : public FormView {
public:
  StagedList& File1() override { return list_; }
  void SetLabel4Caption(const std::string& caption) override { label4_ = caption; }
  void Unload() override { unloaded_ = true; }
  bool Unloaded() const override { return unloaded_; }
  void BeginBusy() override { ++busyDepth_; ++busyTimes_; }
  void EndBusy() noexcept override { --busyDepth_; }
  void ShowSending(std::string_view tooltip) override { sendingTooltip_ = std::string(tooltip); }
  void HideSending() noexcept override { sendingTooltip_.clear(); }
  void TellSendEnded(const SendNotice& notice) override { told_.push_back(notice); }
  void SetSendTimer(bool enabled) override { timerOn_ = enabled; }
  void SetCopyTimer(bool enabled) override { copyTimerOn_ = enabled; }

  // The names the list shows, in order.
  std::vector<std::string> Shown() const;

  const std::string& label4() const { return label4_; }
  int busyDepth() const { return busyDepth_; }
  int busyTimes() const { return busyTimes_; }
  // The status icon's tooltip while it shows; empty when it does not.
  const std::string& sendingTooltip() const { return sendingTooltip_; }
  const std::vector<SendNotice>& told() const { return told_; }
  bool timerOn() const { return timerOn_; }
  bool copyTimerOn() const { return copyTimerOn_; }

private:
  StagedList list_{std::string(kFile1Pattern)};
  std::string label4_;
  bool unloaded_ = false;
  int busyDepth_ = 0;
  int busyTimes_ = 0;
  std::string sendingTooltip_;
  std::vector<SendNotice> told_;
  bool timerOn_ = false;
  bool copyTimerOn_ = false;
};

}  // namespace tunelift::testing
