#pragma once
// Tunelift's own icon in tunelift.exe's resources (app/tunelift.rc.in), as the window's title
// bar, the taskbar and the notification area show it.

// The icon group's resource number; the resource compiler reads it too, hence a macro.
#define TUNELIFT_PROGRAM_ICON 101

#ifndef RC_INVOKED
#include <windows.h>

namespace tunelift {

// The program's icon at `size` by `size` pixels. A program built without the resource (a
// test's) gets the system's application icon instead. The icon is shared: never destroy it.
HICON ProgramIcon(int size);

}  // namespace tunelift
#endif
