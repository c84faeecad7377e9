#pragma once
// The one window, on the platform's own controls: made once from the layout table in the
// dialog font at the screen's DPI, the keyboard handled by the dialog manager, every button
// click running its handler. It owns its controls for the program's life, and the icon and
// notifications that show its sends in the notification area.

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "core/services.h"
#include "window/dialogs.h"
#include "window/form_handlers.h"
#include "window/form_view.h"
#include "window/layout.h"
#include "window/win32/dialog_font.h"
#include "window/win32/notification_area.h"
#include "window/win32/routed_window.h"
#include "window/win32/staged_list_box.h"
#include "window/win32/taskbar_progress.h"

namespace tunelift {

// The window class every Tunelift window is made of.
inline constexpr wchar_t kWindowClassName[] = L"TuneliftWindow";
// The message the notification area sends the window for its icon (NOTIFYICON_VERSION_4:
// the event in the low word of lParam, the place of a menu's anchor in wParam).
inline constexpr UINT kNotificationIconMessage = WM_APP + 1;

class Win32Window : public FormView {
public:
  // Makes the window, hidden, with its controls; `services` and `dialogs` must outlive it.
  // Throws tunelift::Error when the system cannot make the window, a control or the font.
  Win32Window(FileServices& services, Dialogs& dialogs, int dpi = ScreenDpi(),
              FormOptions options = {});
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Runs Load; false when start-up failed (the user has been told why).
  bool Load();
  // Shows the window as `showCommand` asks (the start-up's nCmdShow), the focus on the first
  // control of the tab order.
  void Show(int showCommand);

  // The window; nullptr once it is gone.
  HWND Handle() const { return window_; }
  // The control made for `control`; nullptr once the window is gone.
  HWND Control(FormControl control) const;
  // True while the copy timer runs: a chosen file is being copied.
  bool Copying() const { return copyTimerOn_; }
  // The progress on the window's taskbar button; nullptr once the window is gone.
  const TaskbarProgress* Taskbar() const { return taskbar_.get(); }

  FileList& StagedFiles() override { return *stagedFiles_; }
  void SetFolderCaption(const std::string& caption) override;
  void Unload() override;
  bool Unloaded() const override { return unloaded_; }
  void BeginBusy() override;
  void EndBusy() noexcept override;
  void ShowSending(std::string_view tooltip) override;
  void HideSending() noexcept override;
  // The taskbar's progress; none while the window is hidden, when it has no button.
  void ShowSendProgress(double done) override;
  void EndSendProgress(bool failed) override;
  void OpenInViewer(const std::string& path) override;
  void HideUntilSendsEnd() override;
  void TellSendEnded(const SendNotice& notice) override;
  void SetSendTimer(bool enabled) override;
  void SetCopyTimer(bool enabled) override;

private:
  friend LRESULT CALLBACK RoutedWindowProc<Win32Window>(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  HWND CreateControl(const ControlSpec& control);
  void OnCommand(int controlId, int notification);
  void OnActivate(bool activated);
  bool OnSetCursor();
  void OnIconMessage(WPARAM wParam, LPARAM lParam);
  // Closes a window that was unloaded while hidden once the notice from its icon has gone.
  void CloseOnceNoticeGone();

  FormHandlers handlers_;
  Dialogs& dialogs_;
  int dpi_;
  UniqueFont font_;
  HWND window_ = nullptr;
  std::unique_ptr<StagedListBox> stagedFiles_;
  std::unique_ptr<NotificationArea> notices_;
  std::unique_ptr<TaskbarProgress> taskbar_;
  // The control that had the focus when the window was last deactivated.
  HWND lastFocus_ = nullptr;
  int busyDepth_ = 0;
  bool unloaded_ = false;
  bool copyTimerOn_ = false;
};

// Hands `message` to the dialog manager of the window or of its progress dialog (Tab, the arrow
// keys, Space on a button), and to the window it is for when the dialog manager does not take
// it.
void DeliverMessage(const Win32Window& window, MSG& message);

// Runs the message loop until the program's end; returns WM_QUIT's exit code.
int RunMessageLoop(const Win32Window& window);

}  // namespace tunelift
