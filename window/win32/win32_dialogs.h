#pragma once
// The open-file dialog and the message boxes on the platform's own: the common dialog
// (GetOpenFileNameW) and MessageBoxW, each modal to the window and centred on it.

#include <windows.h>

#include <commdlg.h>

#include <string>
#include <vector>

#include "core/error.h"
#include "window/dialogs.h"

namespace tunelift {

class Win32Dialogs : public Dialogs {
public:
  // The window the dialogs are modal to and centred on; none until set.
  void SetOwner(HWND owner) { owner_ = owner; }

  // The dialog takes every setting as it is: the filter pairs, the filter index, the title,
  // the initial folder and the flags. A failure of the dialog throws CommDlgExtendedError's
  // number with a description (DialogError).
  std::string ShowOpen(const OpenFileSettings& settings) override;
  // MessageBoxW with `style` as it is (the msgbox codes are the platform's own); returns the
  // button pressed.
  int MsgBox(const std::string& prompt, int style, const std::string& title = {}) override;

private:
  // The owner while it is a window; none once it has gone.
  HWND LiveOwner() const;

  HWND owner_ = nullptr;
};

// One call of GetOpenFileNameW for `settings`: the structure and the texts it points into.
class OpenFileRequest {
public:
  // Throws tunelift::Error for a setting that is not UTF-8 text.
  OpenFileRequest(const OpenFileSettings& settings, HWND owner);
  OpenFileRequest(const OpenFileRequest&) = delete;
  OpenFileRequest& operator=(const OpenFileRequest&) = delete;

  OPENFILENAMEW& Get() { return request_; }
  const OPENFILENAMEW& Get() const { return request_; }
  // The chosen file's full path, once the dialog has returned it.
  std::string ChosenPath() const;

private:
  std::wstring filter_;
  std::wstring initDir_;
  std::wstring title_;
  std::vector<wchar_t> file_;
  OPENFILENAMEW request_{};
};

// The error for a dialog that failed with CommDlgExtendedError's `code`: that number and what
// it means.
Error DialogError(unsigned long code);

// While it lives, the first dialog or message box this thread shows for `owner` is moved into
// the middle of the owner, within the owner's screen, as soon as it is activated. Without a
// visible owner, the dialog stays where the system puts it.
class CentreOnOwner {
public:
  explicit CentreOnOwner(HWND owner);
  ~CentreOnOwner();
  CentreOnOwner(const CentreOnOwner&) = delete;
  CentreOnOwner& operator=(const CentreOnOwner&) = delete;

private:
  HWND previousOwner_;
  HHOOK hook_;
};

}  // namespace tunelift
