#pragma once
// The open-file dialog, the message boxes and the progress dialog on the platform's own: the
// common dialog (GetOpenFileNameW), MessageBoxW and a window with a progress bar, each modal
// to the window and centred on it.

#include <windows.h>

#include <string>

#include "window/dialogs.h"

namespace tunelift {

class Win32Dialogs : public Dialogs {
public:
  // The window the dialogs are modal to and centred on; none until set.
  void SetOwner(HWND owner) { owner_ = owner; }

  // The dialog takes every setting as it is: the filter pairs, the filter index, the title,
  // the initial folder and the flags. A failure of the dialog throws CommDlgExtendedError's
  // number with a description.
  std::string ShowOpen(const OpenFileSettings& settings) override;
  // MessageBoxW with `style` as it is (the msgbox codes are the platform's own); returns the
  // button pressed.
  int MsgBox(const std::string& prompt, int style, const std::string& title = {}) override;
  // The progress window of progress_window.h.
  std::unique_ptr<ProgressDialog> ShowProgress(const ProgressText& text) override;

private:
  // The owner while it is a window; none once it has gone.
  HWND LiveOwner() const;

  HWND owner_ = nullptr;
};

}  // namespace tunelift
