#include "window/win32/taskbar_progress.h"

#include <cstdio>

#include "core/error.h"
#include "text/wide_text_win32.h"

namespace tunelift {
namespace {

// The bar's length in steps: finer than any taskbar button draws.
constexpr ULONGLONG kSteps = 1000;

std::string HresultText(HRESULT result) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(result));
  const std::string words = SystemWords(static_cast<unsigned long>(result));
  return words.empty() ? std::string(number) : words + " (" + number + ")";
}

}  // namespace

TaskbarProgress::TaskbarProgress(HWND window) : window_(window) {
  // S_FALSE: the thread was in the apartment already, and still owes one CoUninitialize.
  const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  comJoined_ = SUCCEEDED(joined);
}

TaskbarProgress::~TaskbarProgress() {
  taskbar_.reset();
  if (comJoined_) {
    CoUninitialize();
  }
}

void TaskbarProgress::Show(double done) {
  if (refused_) {
    return;
  }
  const double share = done < 0 ? 0 : (done > 1 ? 1 : done);
  SetState(TBPF_NORMAL);
  Check(Taskbar().SetProgressValue(window_, static_cast<ULONGLONG>(share * kSteps), kSteps),
        "SetProgressValue");
}

void TaskbarProgress::ShowFailed() {
  SetState(TBPF_ERROR);
  failureShown_ = !refused_;
}

void TaskbarProgress::Clear() {
  failureShown_ = false;
  SetState(TBPF_NOPROGRESS);
}

void TaskbarProgress::SetState(TBPFLAG state) {
  if (refused_) {
    return;
  }
  Check(Taskbar().SetProgressState(window_, state), "SetProgressState");
}

ITaskbarList3& TaskbarProgress::Taskbar() {
  if (!taskbar_) {
    ITaskbarList3* made = nullptr;
    Check(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                           reinterpret_cast<void**>(&made)),
          "CoCreateInstance(TaskbarList)");
    taskbar_.reset(made);
    Check(taskbar_->HrInit(), "HrInit");
  }
  return *taskbar_;
}

void TaskbarProgress::Check(HRESULT result, const char* call) {
  if (SUCCEEDED(result)) {
    return;
  }
  refused_ = true;
  throw Error(errnum::kDeviceUnavailable, "The taskbar did not take the send's progress: " +
                                              std::string(call) + ": " + HresultText(result));
}

}  // namespace tunelift
