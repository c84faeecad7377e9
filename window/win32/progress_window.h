#pragma once
// The progress dialog of a long copy on the platform's own controls: a small window owned by
// the window, with what is copied, a progress bar, how much, and a Cancel button. While it
// shows, the window is disabled, as under a modal dialog, and its messages go on. Its keyboard
// goes through the dialog manager (DeliverMessage): Tab, Space, Enter and Escape.

#include <windows.h>

#include <memory>

#include "window/dialogs.h"
#include "window/progress_text.h"

namespace tunelift {

// The window class of the progress dialog.
inline constexpr wchar_t kProgressClassName[] = L"TuneliftProgress";

// Shows the dialog with `text` in the middle of `owner` (none: where the system puts it) and
// returns at once. It goes when the returned object goes, or with its owner. Throws
// tunelift::Error when the system cannot make it.
std::unique_ptr<ProgressDialog> ShowWin32Progress(const ProgressText& text, HWND owner);

// The progress dialog that `window` is or belongs to; nullptr when it is none of its.
HWND ProgressDialogOf(HWND window);

}  // namespace tunelift
