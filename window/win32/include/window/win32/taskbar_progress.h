#pragma once
// A send's progress on the window's taskbar button, through the shell's ITaskbarList3: the
// bar while a send runs, red once one ended in failure, none otherwise. Every call's HRESULT
// is checked. Wine's taskbar draws no progress, but takes the calls.

#include <windows.h>

#include <shobjidl.h>

#include <memory>
#include <string>

namespace tunelift {

class TaskbarProgress {
public:
  // The button of `window`, which must outlive this object. Joins the thread to COM's
  // single-threaded apartment, as the shell's objects need, unless it is in one already.
  explicit TaskbarProgress(HWND window);
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  // The bar, at `done` (0 to 1) of its length.
  void Show(double done);
  // The bar turns red where it stands, until Clear.
  void ShowFailed();
  void Clear();
  // True while the bar shows red.
  bool ShowsFailure() const { return failureShown_; }

  // Each call throws tunelift::Error for the first HRESULT that fails, naming the call and
  // the system's words for it; after it, nothing more is asked of the taskbar, so that the
  // user is told once, not at every step of a send.

private:
  struct Releaser {
    void operator()(ITaskbarList3* taskbar) const noexcept { taskbar->Release(); }
  };

  ITaskbarList3& Taskbar();
  void Check(HRESULT result, const char* call);
  void SetState(TBPFLAG state);

  HWND window_;
  bool comJoined_ = false;
  bool refused_ = false;
  bool failureShown_ = false;
  std::unique_ptr<ITaskbarList3, Releaser> taskbar_;
};

}  // namespace tunelift
