#pragma once
// Text files written through a POSIX descriptor.

#include <memory>
#include <string>

#include "core/services.h"

namespace tunelift {

// Writes into a new hidden file beside `name`, which takes the name only when Close completes
// it; a stream dropped or failed before that removes it again, so the name keeps its older
// file, or none. Nothing is ever opened through a link: a link of that name is replaced, a
// folder reached through one is refused. With ownerOnly the mode is 0600 from the start.
std::unique_ptr<TextStream> CreatePosixTextFile(const std::string& name,
                                                const TextFileOptions& options);

}  // namespace tunelift
