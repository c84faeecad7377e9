// Looks at the Tunelift window that another program shows, as the package's try needs it, and
// does what a user would there. Waits 10 s at most for what it looks for; exit status 1 when it
// did not show.
//   window_probe.exe               prints the window's title and client size ("Tunelift
//                                  410x300"), then closes it as its close box would
//   window_probe.exe --press-send  prints the same, then presses "Send the Music!"
//   window_probe.exe --read-box    prints the text of the message box that Tunelift shows,
//                                  then presses its OK

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "window/win32/control_layout.h"
#include "window/win32/win32_window.h"

namespace {

constexpr int kTries = 500;
constexpr DWORD kTryEveryMs = 20;

HWND WaitForMainWindow() {
  for (int i = 0; i < kTries; ++i) {
    const HWND window = FindWindowW(tunelift::kWindowClassName, nullptr);
    if (window != nullptr && IsWindowVisible(window)) {
      return window;
    }
    Sleep(kTryEveryMs);
  }
  std::fprintf(stderr, "No Tunelift window showed within 10 s.\n");
  return nullptr;
}

void PrintWindow(HWND window) {
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  RECT client{};
  GetClientRect(window, &client);
  std::printf("%ls %ldx%ld\n", title, client.right, client.bottom);
}

// Tunelift's message box: a dialog of the system's class titled Tunelift.
HWND WaitForMessageBox() {
  for (int i = 0; i < kTries; ++i) {
    const HWND box = FindWindowW(L"#32770", L"Tunelift");
    if (box != nullptr && IsWindowVisible(box)) {
      return box;
    }
    Sleep(kTryEveryMs);
  }
  std::fprintf(stderr, "No Tunelift message box showed within 10 s.\n");
  return nullptr;
}

BOOL CALLBACK PrintLabel(HWND control, LPARAM /*unused*/) {
  wchar_t className[32] = {};
  GetClassNameW(control, className, 32);
  wchar_t text[4096] = {};
  if (_wcsicmp(className, L"Static") == 0 && GetWindowTextW(control, text, 4096) > 0) {
    std::printf("%ls\n", text);
  }
  return TRUE;
}

int ReadMessageBox() {
  const HWND box = WaitForMessageBox();
  if (box == nullptr) {
    return EXIT_FAILURE;
  }
  EnumChildWindows(box, PrintLabel, 0);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  // The box has gone before the next look for one.
  for (int i = 0; i < kTries && IsWindow(box); ++i) {
    Sleep(kTryEveryMs);
  }
  return EXIT_SUCCESS;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"--read-box") {
    return ReadMessageBox();
  }
  const HWND window = WaitForMainWindow();
  if (window == nullptr) {
    return EXIT_FAILURE;
  }
  PrintWindow(window);
  if (mode == L"--press-send") {
    const int send = tunelift::ControlId(tunelift::FormControl::SendButton);
    PostMessageW(GetDlgItem(window, send), BM_CLICK, 0, 0);
  } else {
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  std::fflush(stdout);
  return EXIT_SUCCESS;
}
