#include "copy_steps_linux.h"

#include <fcntl.h>

#include <cerrno>

namespace tunelift {
namespace {

// sync_file_range's refusals for files it cannot write back a range at a time, as opposed to
// a failure of the writing itself.
bool CannotWriteBackInRanges(int error) {
  return error == EINVAL || error == ESPIPE || error == ENOSYS || error == EOPNOTSUPP;
}

}  // namespace

int CopySteps::Wrote(std::uint64_t bytes) {
  stepLength_ += bytes;
  return stepLength_ >= kCopyStep ? EndStep() : 0;
}

int CopySteps::Finish() {
  return stepLength_ > 0 ? EndStep() : 0;
}

int CopySteps::EndStep() {
  // This step starts on its way; the one before must have arrived before the next is written,
  // so that no more than two steps are ever waiting for the disk.
  int error = WriteBack(stepStart_, stepLength_, SYNC_FILE_RANGE_WRITE);
  if (error == 0 && previousLength_ > 0) {
    error =
        WriteBack(previousStart_, previousLength_,
                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
  }
  if (error != 0) {
    return error;
  }
  previousStart_ = stepStart_;
  previousLength_ = stepLength_;
  stepStart_ += stepLength_;
  stepLength_ = 0;
  return meter_.Step(previousLength_) ? 0 : kCopyStopped;
}

int CopySteps::WriteBack(std::uint64_t start, std::uint64_t length, unsigned flags) {
  if (!inSteps_) {
    return 0;
  }
  while (sync_file_range(out_, static_cast<off_t>(start), static_cast<off_t>(length), flags) != 0) {
    if (errno == EINTR) {
      continue;
    }
    if (CannotWriteBackInRanges(errno)) {
      inSteps_ = false;
      return 0;
    }
    return errno;
  }
  return 0;
}

}  // namespace tunelift
