#pragma once
// Copying a file's content without passing it through the process, on Linux.

#include <cstdint>

#include "copy_steps_linux.h"

namespace tunelift {

// Returned by KernelCopy when the kernel cannot copy between the two files this way.
inline constexpr int kKernelCannotCopy = -1;

// Copies everything from `in` to the empty file `out` inside the kernel: a reflink where the
// file system offers one (the copy shares the source's blocks until either is written; it is
// reported whole at once), else copy_file_range, in the steps of `steps`. Returns 0, the errno
// of a failure part way, kCopyStopped, or kKernelCannotCopy when it copied nothing (another
// file system on an older kernel, a file system without support, a kernel file whose size
// reads as 0); `out` is then still empty and another way must be taken. `size` is the
// source's size, as the reflink reports it.
int KernelCopy(int in, int out, std::uint64_t size, CopySteps& steps);

}  // namespace tunelift
