#pragma once
// Turning a failed Win32 call into the core's error, as posix_error does for errno.

#include <string>

#include "error.h"

namespace tunelift {

// `what` says what was being done ("Cannot copy 'a' to 'b'"); `systemError` is the value of
// GetLastError(). The number is mapped from it; the description reads
// "<what>: <the system's own words>".
Error Win32Error(const std::string& what, unsigned long systemError);

// The same for the error GetLastError() reports now.
Error LastWin32Error(const std::string& what);

// `text` (UTF-8) as the UTF-16 the *W functions take; throws a bad-file-name Error for text
// that is not UTF-8, which would name some other file.
std::wstring Wide(const std::string& text);

}  // namespace tunelift
