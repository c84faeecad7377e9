#pragma once
// Turning a failed POSIX call into the core's error.

#include <string>

#include "core/error.h"

namespace tunelift {

// `what` says what was being done ("Cannot copy 'a' to 'b'"); `systemError` is the errno
// value. The number is mapped from it; the description reads "<what>: <system's reason>".
Error SystemError(const std::string& what, int systemError);

}  // namespace tunelift
