#include "window/win32/win32_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdlib>

#include "core/win32_error.h"
#include "text/wide_text_win32.h"
#include "control_layout.h"
#include "desktop_viewer.h"
#include "sending_menu.h"
#include "program_icon.h"
#include "progress_window.h"

namespace tunelift {
namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;

// The window's own timers.
constexpr UINT_PTR kSendTimerId = 1;
constexpr UINT_PTR kNoticeTimerId = 2;
constexpr UINT_PTR kCopyTimerId = 3;

// Pressing Enter presses the default button, and the dialog manager makes every push button
// the default one while it has the focus. This window has no default button: a button asked
// to become one stays a plain push button, so Enter reaches the window as IDOK, which no
// control answers to.
LRESULT CALLBACK NeverDefault(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                              UINT_PTR /*subclassId*/, DWORD_PTR /*data*/) {
  if (message == BM_SETSTYLE && (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
    wParam = (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_PUSHBUTTON;
  }
  return DefSubclassProc(button, message, wParam, lParam);
}

void RegisterWindowClass(WNDPROC windowProc) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(instance, kWindowClassName, &windowClass)) {
    return;  // made by an earlier window of this program
  }
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON));
  windowClass.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kWindowClassName;
  if (RegisterClassExW(&windowClass) == 0) {
    throw LastWin32Error("Cannot register the window class");
  }
}

// The size of the whole window whose client area is `width` by `height` pixels.
SIZE WindowSizeFor(int width, int height) {
  RECT frame{0, 0, width, height};
  if (!AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle)) {
    throw LastWin32Error("Cannot measure the window's frame");
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace

Win32Window::Win32Window(FileServices& services, Dialogs& dialogs, int dpi, FormOptions options)
    : handlers_(services, *this, dialogs, options),
      dialogs_(dialogs),
      dpi_(dpi),
      font_(CreateWindowFont(dpi)) {
  RegisterWindowClass(&RoutedWindowProc<Win32Window>);
  const SIZE size =
      WindowSizeFor(TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_));
  const std::wstring caption = WideFromUtf8(kFormCaption);
  // The window's messages reach this object from the first on: WM_NCCREATE carries it.
  window_ = CreateWindowExW(kWindowExStyle, kWindowClassName, caption.c_str(), kWindowStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
  if (window_ == nullptr) {
    throw LastWin32Error("Cannot make the window");
  }
  try {
    CreateControls();
  } catch (...) {
    DestroyWindow(window_);
    throw;
  }
  stagedFiles_ = std::make_unique<StagedListBox>(Control(FormControl::StagedList),
                                                 std::string(kStagedListPattern));
  notices_ = std::make_unique<NotificationArea>(window_, kNotificationIconMessage, kNoticeTimerId);
  taskbar_ = std::make_unique<TaskbarProgress>(window_);
}

Win32Window::~Win32Window() {
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
}

bool Win32Window::Load() {
  return handlers_.Run(&FormHandlers::Load);
}

void Win32Window::Show(int showCommand) {
  lastFocus_ = Control(kFocusOrder.front());
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  if (GetActiveWindow() == window_) {
    SetFocus(lastFocus_);
  }
}

HWND Win32Window::Control(FormControl control) const {
  return window_ != nullptr ? GetDlgItem(window_, ControlId(control)) : nullptr;
}

// The dialog manager moves the focus through the controls in the order they were made, so
// the controls that take the focus are made first, in tab-index order.
void Win32Window::CreateControls() {
  for (FormControl focusable : kFocusOrder) {
    CreateControl(RowOf(focusable));
  }
  for (const ControlSpec& control : kControls) {
    if (!TakesFocus(control.kind)) {
      CreateControl(control);
    }
  }
}

HWND Win32Window::CreateControl(const ControlSpec& control) {
  const NativeControl native = NativeControlFor(control);
  const RECT place = ControlRect(control, dpi_);
  const std::wstring text = WideFromUtf8(control.text);
  const auto id = static_cast<INT_PTR>(ControlId(control.control));
  HWND made =
      CreateWindowExW(native.exStyle, native.windowClass, text.c_str(), native.style, place.left,
                      place.top, place.right - place.left, place.bottom - place.top, window_,
                      reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), nullptr);
  if (made == nullptr) {
    throw LastWin32Error("Cannot make the control " + std::string(control.name));
  }
  SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  if (control.kind == ControlKind::PushButton) {
    SetWindowSubclass(made, &NeverDefault, 0, 0);
  }
  return made;
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_TIMER:
      if (wParam == kSendTimerId) {
        handlers_.Run(&FormHandlers::SendTimerTick);
      } else if (wParam == kCopyTimerId) {
        handlers_.Run(&FormHandlers::CopyTimerTick);
      } else if (wParam == kNoticeTimerId && notices_) {
        notices_->OnNoticeTimer();
        CloseOnceNoticeGone();
      }
      return 0;
    case kNotificationIconMessage: OnIconMessage(wParam, lParam); return 0;
    case WM_CLOSE:
      // The close box, Alt+F4 and the system menu's Close all come here; the handlers decide.
      handlers_.Run(&FormHandlers::CloseWindow);
      return 0;
    case WM_ACTIVATE: OnActivate(LOWORD(wParam) != WA_INACTIVE); return 0;
    case WM_SETFOCUS: OnActivate(true); return 0;
    case WM_SETCURSOR:
      if (OnSetCursor()) {
        return TRUE;
      }
      break;
    case WM_DESTROY:
      // However the window goes, a copy still running is stopped first.
      unloaded_ = true;
      handlers_.Run(&FormHandlers::WindowClosed);
      notices_.reset();  // the icon goes with its window
      taskbar_.reset();
      PostQuitMessage(0);
      return 0;
    default:
      if (message == NotificationArea::ShellRestartedMessage() && notices_) {
        notices_->OnShellRestarted();
        return 0;
      }
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void Win32Window::OnCommand(int controlId, int notification) {
  if (notification != BN_CLICKED) {
    return;  // IDOK and IDCANCEL from Enter and Escape come here too, and press nothing
  }
  // Only the table's buttons have a handler; any other identifier is no control of the table.
  const ControlSpec* control = ControlWithId(controlId);
  if (control != nullptr && control->click != nullptr) {
    handlers_.Run(control->click);
  }
}

// The icon's menu runs its handler; every other event of the icon is the notice's.
void Win32Window::OnIconMessage(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(lParam) == WM_CONTEXTMENU) {
    const POINT anchor{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
    const MenuBinding* chosen = nullptr;
    try {
      chosen = ChooseFromSendingMenu(window_, anchor);
    } catch (const Error& error) {
      dialogs_.MsgBox(FailureText("Could not show the status icon's menu.", error.description()),
                      msgbox::kOkOnly | msgbox::kIconExclamation);
    }
    if (chosen != nullptr) {
      handlers_.Run(chosen->handler);
    }
    return;
  }
  if (notices_) {
    notices_->OnIconMessage(lParam);
    CloseOnceNoticeGone();
  }
}

void Win32Window::CloseOnceNoticeGone() {
  if (unloaded_ && window_ != nullptr && notices_ && !notices_->NoticeShows()) {
    DestroyWindow(window_);
  }
}

// The focus leaves with the window and comes back to the control that had it, as in a dialog.
// Being activated, the window has been seen: a failed send's red taskbar button has done its
// part.
void Win32Window::OnActivate(bool activated) {
  const HWND focus = GetFocus();
  if (activated && taskbar_ && taskbar_->ShowsFailure()) {
    try {
      taskbar_->Clear();
    } catch (const Error& error) {
      dialogs_.MsgBox(FailureText("Could not clear the taskbar's progress.", error.description()),
                      msgbox::kOkOnly | msgbox::kIconExclamation);
    }
  }
  if (!activated) {
    if (focus != nullptr && IsChild(window_, focus)) {
      lastFocus_ = focus;
    }
    return;
  }
  if (lastFocus_ == nullptr || !IsWindow(lastFocus_)) {
    lastFocus_ = Control(kFocusOrder.front());
  }
  if (focus == nullptr || !IsChild(window_, focus)) {
    SetFocus(lastFocus_);
  }
}

bool Win32Window::OnSetCursor() {
  if (busyDepth_ == 0) {
    return false;
  }
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  return true;
}

void Win32Window::SetFolderCaption(const std::string& caption) {
  SetWindowTextW(Control(FormControl::FolderLabel), WideForDisplay(caption).c_str());
}

void Win32Window::Unload() {
  unloaded_ = true;
  // Hidden while its sends ran, the window stays (hidden) while the notice of their end
  // shows from its icon: the icon, and the notice, go with the window.
  const bool noticeWaits =
      window_ != nullptr && !IsWindowVisible(window_) && notices_ && notices_->NoticeShows();
  if (window_ != nullptr && !noticeWaits) {
    DestroyWindow(window_);
  }
}

void Win32Window::HideUntilSendsEnd() {
  ShowWindow(window_, SW_HIDE);
}

void Win32Window::ShowSendProgress(double done) {
  if (taskbar_ && IsWindowVisible(window_)) {
    taskbar_->Show(done);
  }
}

void Win32Window::EndSendProgress(bool failed) {
  if (!taskbar_ || !IsWindowVisible(window_)) {
    return;
  }
  if (failed) {
    taskbar_->ShowFailed();
  } else {
    taskbar_->Clear();
  }
}

void Win32Window::OpenInViewer(const std::string& path) {
  OpenInDesktopViewer(window_, path);
}

void Win32Window::BeginBusy() {
  if (busyDepth_++ == 0) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  }
}

// The cursor goes back to whatever the window under it shows.
void Win32Window::EndBusy() noexcept {
  if (busyDepth_ == 0 || --busyDepth_ > 0) {
    return;
  }
  POINT at{};
  if (window_ == nullptr || !GetCursorPos(&at)) {
    return;
  }
  const HWND under = WindowFromPoint(at);
  if (under == window_ || IsChild(window_, under)) {
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
}

void Win32Window::ShowSending(std::string_view tooltip) {
  if (notices_) {
    notices_->ShowSending(std::string(tooltip));
  }
}

void Win32Window::HideSending() noexcept {
  if (notices_) {
    notices_->HideSending();
  }
}

// Where the system has no notification area, the notice comes as a message box.
void Win32Window::TellSendEnded(const SendNotice& notice) {
  if (notices_ && notices_->Tell(notice)) {
    return;
  }
  dialogs_.MsgBox(MessageBoxText(notice), MessageBoxStyle(notice));
}

void Win32Window::SetSendTimer(bool enabled) {
  if (window_ == nullptr) {
    return;
  }
  if (!enabled) {
    KillTimer(window_, kSendTimerId);
  } else if (SetTimer(window_, kSendTimerId, kSendTimerIntervalMs, nullptr) == 0) {
    throw LastWin32Error("Cannot start the timer that follows the send");
  }
}

void Win32Window::SetCopyTimer(bool enabled) {
  if (!enabled) {
    copyTimerOn_ = false;
    if (window_ != nullptr) {
      KillTimer(window_, kCopyTimerId);
    }
    return;
  }
  if (window_ == nullptr) {
    return;
  }
  if (SetTimer(window_, kCopyTimerId, kCopyTimerIntervalMs, nullptr) == 0) {
    throw LastWin32Error("Cannot start the timer that follows the copy");
  }
  copyTimerOn_ = true;
}

void DeliverMessage(const Win32Window& window, MSG& message) {
  const HWND progress = ProgressDialogOf(message.hwnd);
  if (progress != nullptr && IsDialogMessageW(progress, &message)) {
    return;
  }
  if (window.Handle() != nullptr && IsDialogMessageW(window.Handle(), &message)) {
    return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

int RunMessageLoop(const Win32Window& window) {
  MSG message{};
  BOOL got = FALSE;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    DeliverMessage(window, message);
  }
  return got < 0 ? EXIT_FAILURE : static_cast<int>(message.wParam);
}

}  // namespace tunelift
