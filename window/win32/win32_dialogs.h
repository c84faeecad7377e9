#pragma once
// The open-file dialog and the message boxes on the platform's own: the common dialog
// (GetOpenFileNameW) and MessageBoxW, each modal to the window and centred on it.

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

private:
  // The owner while it is a window; none once it has gone.
  HWND LiveOwner() const;

  HWND owner_ = nullptr;
};

}  // namespace tunelift
