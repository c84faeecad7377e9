#pragma once
// Tunelift's own icon, as the window, its status icon and the desktop's task switcher show it.

#include <QIcon>

namespace tunelift {

// The icon at every size the program carries (16 to 256 pixels, drawn from one SVG when the
// program was built). Never null in a program built from this library.
QIcon ProgramIcon();

}  // namespace tunelift
