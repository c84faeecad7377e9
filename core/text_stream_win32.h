#pragma once
// Text files written through a Win32 handle.

#include <memory>
#include <string>

#include "core/services.h"

namespace tunelift {

// A text stream for the file `name` (relative names in the current directory). The text goes
// into a scratch file beside it, which Close() moves over `name`: a file or link of that
// name is replaced, never written through, and no half-written file ever has the real name.
// With ownerOnly the scratch file is made with an access list of its owner alone before a
// byte is written. The bytes are written as they are given (8-bit text, no byte-order mark).
std::unique_ptr<TextStream> CreateWin32TextFile(const std::string& name,
                                                const TextFileOptions& options);

}  // namespace tunelift
