#pragma once
// A file's content copied in steps on Win32, so that the copy reports how far it has come and
// can stop between steps. CopyFileExW offers the same through its progress routine, but Wine
// never calls it, and Tunelift for Windows also runs under Wine.

#include <windows.h>

#include "copy_meter.h"

namespace tunelift {

// Copies everything from the open file `in` to the new, empty file `out` in steps of kCopyStep
// that `meter` hears of, then flushes `out` to the disk. Returns ERROR_SUCCESS,
// ERROR_REQUEST_ABORTED when the meter asked it to stop, or the error of the failing call.
DWORD CopyInSteps(HANDLE in, HANDLE out, CopyMeter& meter);

}  // namespace tunelift
