#pragma once
// A real Tunelift window on a fresh program folder, with the real file and process services
// and scripted dialogs. Clicks and keys go to the controls as messages, and every message goes
// through the window's own delivery (the dialog manager first), as the program's loop does.

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "program_folder.h"
#include "scripted_dialogs.h"
#include "window/win32/win32_window.h"

namespace tunelift::testing {

// A window's text (a control's caption, a window's title), as UTF-8.
std::string TextOf(HWND window);
// A window's class name, such as "Button" or "#32770".
std::wstring ClassOf(HWND window);

// Scripted dialogs, but with the window's own progress dialog, as the program shows it: it
// blocks nothing, so a test presses its Cancel button as a user would.
class WindowDialogs : public ScriptedDialogs {
public:
  void SetOwner(HWND owner) { owner_ = owner; }
  std::unique_ptr<ProgressDialog> ShowProgress(const ProgressText& text) override;

private:
  HWND owner_ = nullptr;
};

class Win32WindowTest : public ProgramFolderTest {
protected:
  void SetUp() override;
  void TearDown() override;

  // Makes the window anew with `options`, before it is loaded.
  void UseFormOptions(FormOptions options);

  // Runs Load and, when it succeeds, shows the window.
  bool LoadAndShow();
  // Delivers every message waiting for this thread.
  void Pump();
  // Pumps until `done` holds, 30 s at most; false when it never did.
  bool PumpUntil(const std::function<bool()>& done);

  // The control the layout table names `name`; throws for a name the table does not have.
  HWND Control(std::string_view name) const;
  // Clicks the button `name` (BM_CLICK), then delivers what followed until a copy the click
  // started has ended, as a user who waits for the song to show.
  void Click(std::string_view name);
  // Clicks the button and delivers only what is waiting.
  void Press(std::string_view name);
  // The progress dialog while it shows; nullptr when none does.
  HWND ProgressShown() const;
  // Presses and releases `key` where the focus is, as the keyboard would.
  void Key(WPARAM key);
  // The layout table's name of the control with the focus; empty for anything else.
  std::string FocusedName() const;
  // The entries the list shows, in order.
  std::vector<std::string> Listed() const;
  void SelectEntry(const std::string& shown);
  bool WindowGone() const { return window_->Handle() == nullptr; }

  WindowDialogs dialogs_;
  std::unique_ptr<Win32Window> window_;
  // Whether the end of the program's loop (WM_QUIT) has come.
  bool quitPosted_ = false;
};

}  // namespace tunelift::testing
