#pragma once
// Text files written through a POSIX descriptor.

#include <memory>
#include <string>

#include "services.h"

namespace tunelift {

// Creates (or, with overwrite, truncates) the file `name`; with ownerOnly its mode is 0600
// before a byte is written, also when an older file had wider rights.
std::unique_ptr<TextStream> CreatePosixTextFile(const std::string& name,
                                                const TextFileOptions& options);

}  // namespace tunelift
