#include "copy_meter.h"

namespace tunelift {

CopyMeter::CopyMeter(const CopyOptions& options, std::uint64_t total)
    : options_(options), progress_{.copied = 0, .total = total} {}

bool CopyMeter::Step(std::uint64_t bytes) {
  progress_.copied += bytes;
  if (options_.progress) {
    options_.progress(progress_);
  }
  return !StopRequested();
}

Error CopyStopped(const std::string& what) {
  return Error(errnum::kUserInterrupt, what + ": the copy was cancelled");
}

}  // namespace tunelift
