#pragma once
// Opening a file in the desktop's own viewer for its kind, on Windows.

#include <windows.h>

#include <string>

namespace tunelift {

// Opens the file at `path` (UTF-8) with the shell's "open" verb, as a double click in
// Explorer would; errors from the shell show as owned by `owner`. Returns once the viewer
// has started. Throws tunelift::Error with the shell's reason (no such file, no program
// for files of its kind, ...).
void OpenInDesktopViewer(HWND owner, const std::string& path);

}  // namespace tunelift
