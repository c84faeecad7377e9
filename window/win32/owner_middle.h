#pragma once
// Where the window's dialogs show: in the middle of their owner.

#include <windows.h>

namespace tunelift {

// Moves `dialog` into the middle of `owner`, as far as the owner's screen allows; where either
// cannot be measured, leaves it where the system put it.
void MoveIntoMiddle(HWND dialog, HWND owner);

}  // namespace tunelift
