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
    case ETXTBSY:
      return true;
    default:
      return false;
  }
}

int CopyFileRange(int in, int out) {
  // Large steps, but none that could carry an offset past the largest file offset.
  constexpr std::size_t kStep = std::size_t{1} << 30;
  bool copiedAny = false;
  while (true) {
    const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, kStep, 0);
    if (copied < 0 && errno == EINTR) {
      continue;
    }
    if (copied < 0) {
      return !copiedAny && KernelCannotCopy(errno) ? kKernelCannotCopy : errno;
    }
    if (copied == 0) {
      // Kernel files (procfs and the like) copy as empty here; reading them tells.
      return copiedAny ? 0 : kKernelCannotCopy;
    }
    copiedAny = true;
  }
}

}  // namespace

int KernelCopy(int in, int out) {
  if (ioctl(out, FICLONE, in) == 0) {
    return 0;
  }
  // Whatever a refused clone may have left, the other ways start from an empty file.
  if (ftruncate(out, 0) != 0) {
    return errno;
  }
  posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint only: its failure changes nothing
  return CopyFileRange(in, out);
}

}  // namespace tunelift
