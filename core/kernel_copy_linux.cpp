#include "kernel_copy_linux.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace tunelift {
namespace {

// Reasons copy_file_range gives for files it cannot copy between, as opposed to a failure of
// the copy itself.
bool KernelCannotCopy(int error) {
  switch (error) {
    case ENOSYS:
    case EXDEV:
    case EINVAL:
    case EOPNOTSUPP:
    case EBADF:
    case EPERM:
    case ETXTBSY: return true;
    default: return false;
  }
}

int CopyFileRange(int in, int out, CopySteps& steps) {
  bool copiedAny = false;
  while (true) {
    const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, kCopyStep, 0);
    if (copied < 0 && errno == EINTR) {
      continue;
    }
    if (copied < 0) {
      return !copiedAny && KernelCannotCopy(errno) ? kKernelCannotCopy : errno;
    }
    if (copied == 0) {
      // Kernel files (procfs and the like) copy as empty here; reading them tells.
      return copiedAny ? steps.Finish() : kKernelCannotCopy;
    }
    copiedAny = true;
    const int stepped = steps.Wrote(static_cast<std::uint64_t>(copied));
    if (stepped != 0) {
      return stepped;
    }
  }
}

}  // namespace

int KernelCopy(int in, int out, std::uint64_t size, CopySteps& steps) {
  if (ioctl(out, FICLONE, in) == 0) {
    // Shared blocks, nothing written: the whole copy is one report.
    const int reported = steps.Wrote(size);
    return reported != 0 ? reported : steps.Finish();
  }
  // Whatever a refused clone may have left, the other ways start from an empty file.
  if (ftruncate(out, 0) != 0) {
    return errno;
  }
  posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint only: its failure changes nothing
  return CopyFileRange(in, out, steps);
}

}  // namespace tunelift
