#include "program_icon.h"

namespace tunelift {

HICON ProgramIcon(int size) {
  // LR_SHARED: the system keeps one copy for the module's life, so no caller frees it.
  HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TUNELIFT_PROGRAM_ICON),
                           IMAGE_ICON, size, size, LR_SHARED);
  if (icon == nullptr) {
    // Only tunelift.exe carries the icon (its resources are checked by the test
    // app.windows_resources); the tests' programs that open the window show the system's.
    icon = LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, size, size, LR_SHARED);
  }
  return static_cast<HICON>(icon);
}

}  // namespace tunelift
