#include "progress_window.h"

#include <commctrl.h>

#include <string>

#include "core/win32_error.h"
#include "text/wide_text_win32.h"
#include "window/layout.h"
#include "window/win32/dialog_font.h"
#include "owner_middle.h"
#include "window/win32/routed_window.h"

namespace tunelift {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

// The controls and their places in twips, as the window's own layout table gives them.
struct ControlPlace {
  int id;
  int left;
  int top;
  int width;
  int height;
};
constexpr int kClientWidth = 5400;
constexpr int kClientHeight = 1860;
constexpr ControlPlace kWhat{100, 180, 165, 5040, 255};
constexpr ControlPlace kBar{101, 180, 495, 5040, 255};
constexpr ControlPlace kAmount{102, 180, 825, 5040, 255};
constexpr ControlPlace kCancel{IDCANCEL, 3945, 1305, 1275, 375};

class Win32Progress : public ProgressDialog {
public:
  Win32Progress(const ProgressText& text, HWND owner);
  ~Win32Progress() override;
  Win32Progress(const Win32Progress&) = delete;
  Win32Progress& operator=(const Win32Progress&) = delete;

  void Update(const ProgressText& text) override;
  // A dialog gone with its owner is as good as cancelled.
  bool Cancelled() const override { return cancelled_ || window_ == nullptr; }

private:
  friend LRESULT CALLBACK RoutedWindowProc<Win32Progress>(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void MakeControls();
  void MakeControl(const wchar_t* windowClass, DWORD style, const ControlPlace& place);
  void SetText(HWND control, const std::string& text);

  HWND owner_;
  int dpi_;
  UniqueFont font_;
  HWND window_ = nullptr;
  bool cancelled_ = false;
};

void RegisterProgressClass(WNDPROC windowProc) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(instance, kProgressClassName, &windowClass)) {
    return;  // made for an earlier dialog
  }
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kProgressClassName;
  if (RegisterClassExW(&windowClass) == 0) {
    throw LastWin32Error("Cannot register the progress dialog's window class");
  }
}

Win32Progress::Win32Progress(const ProgressText& text, HWND owner)
    : owner_(owner), dpi_(ScreenDpi()), font_(CreateWindowFont(dpi_)) {
  const INITCOMMONCONTROLSEX bar{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&bar);
  RegisterProgressClass(&RoutedWindowProc<Win32Progress>);
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
  if (!AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle)) {
    throw LastWin32Error("Cannot measure the progress dialog's frame");
  }
  // The dialog's messages reach this object from the first on: WM_NCCREATE carries it.
  window_ =
      CreateWindowExW(kExStyle, kProgressClassName, WideForDisplay(text.title).c_str(), kStyle,
                      CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                      frame.bottom - frame.top, owner_, nullptr, GetModuleHandleW(nullptr), this);
  if (window_ == nullptr) {
    throw LastWin32Error("Cannot make the progress dialog");
  }
  try {
    MakeControls();
  } catch (...) {
    DestroyWindow(window_);
    throw;
  }
  Update(text);
  if (owner_ != nullptr) {
    MoveIntoMiddle(window_, owner_);
    EnableWindow(owner_, FALSE);  // modal to the window, as a dialog box is
  }
  ShowWindow(window_, SW_SHOW);
  SetFocus(GetDlgItem(window_, IDCANCEL));
}

Win32Progress::~Win32Progress() {
  // The window first, so that it is the one activated when the dialog goes.
  if (owner_ != nullptr && IsWindow(owner_)) {
    EnableWindow(owner_, TRUE);
  }
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
}

void Win32Progress::MakeControls() {
  constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
  MakeControl(L"STATIC", kLabel, kWhat);
  MakeControl(PROGRESS_CLASSW, 0, kBar);
  MakeControl(L"STATIC", kLabel, kAmount);
  MakeControl(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, kCancel);
  SendMessageW(GetDlgItem(window_, kBar.id), PBM_SETRANGE32, 0, kProgressBarRange);
  SetWindowTextW(GetDlgItem(window_, IDCANCEL), L"Cancel");
}

void Win32Progress::MakeControl(const wchar_t* windowClass, DWORD style,
                                const ControlPlace& place) {
  const HWND made = CreateWindowExW(
      0, windowClass, L"", WS_CHILD | WS_VISIBLE | style, TwipsToPixels(place.left, dpi_),
      TwipsToPixels(place.top, dpi_), TwipsToPixels(place.width, dpi_),
      TwipsToPixels(place.height, dpi_), window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)), GetModuleHandleW(nullptr), nullptr);
  if (made == nullptr) {
    throw LastWin32Error("Cannot make a control of the progress dialog");
  }
  SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void Win32Progress::Update(const ProgressText& text) {
  if (window_ == nullptr) {
    return;
  }
  SetText(window_, text.title);
  SetText(GetDlgItem(window_, kWhat.id), text.what);
  SetText(GetDlgItem(window_, kAmount.id), text.amount);
  SendMessageW(GetDlgItem(window_, kBar.id), PBM_SETPOS, static_cast<WPARAM>(text.barPosition), 0);
}

// Only a text that changed is set: the dialog is updated many times a second, and each new
// text repaints its control.
void Win32Progress::SetText(HWND control, const std::string& text) {
  const std::wstring wide = WideForDisplay(text);
  std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  shown.resize(static_cast<std::size_t>(
      GetWindowTextW(control, shown.data(), static_cast<int>(shown.size()))));
  if (shown != wide) {
    SetWindowTextW(control, wide.c_str());
  }
}

LRESULT Win32Progress::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // The Cancel button, Escape, and Enter, which presses the only button there is.
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        cancelled_ = true;
      }
      return 0;
    case WM_CLOSE:
      cancelled_ = true;  // the dialog stays until its copy has ended
      return 0;
    default: return DefWindowProcW(window_, message, wParam, lParam);
  }
}

}  // namespace

std::unique_ptr<ProgressDialog> ShowWin32Progress(const ProgressText& text, HWND owner) {
  return std::make_unique<Win32Progress>(text, owner);
}

HWND ProgressDialogOf(HWND window) {
  const HWND root = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
  wchar_t name[64] = {};
  if (root == nullptr || GetClassNameW(root, name, 64) == 0) {
    return nullptr;
  }
  return std::wstring_view(name) == kProgressClassName ? root : nullptr;
}

}  // namespace tunelift
