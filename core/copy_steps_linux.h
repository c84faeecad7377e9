#pragma once
// The writing side of a copy on Linux, in steps of kCopyStep (copy_meter.h). Each step starts
// on its way to the disk as soon as it is written, and the step before it is waited for. What
// the copy reports as done is then on the disk, not in memory: without this, a copy onto a
// slow disk would seem done at once and then spend most of its time in the final sync, where
// it shows nothing and cannot stop. The disk stays busy all the while, so it is no slower.

#include <cstdint>

#include "copy_meter.h"

namespace tunelift {

// Returned by the copies in steps when their meter asked them to stop.
inline constexpr int kCopyStopped = -2;

class CopySteps {
public:
  // `out` is the file being written from its start; both must outlive the steps.
  CopySteps(int out, CopyMeter& meter) : out_(out), meter_(meter) {}

  // `bytes` more have been written at the end of `out`. Once they make up a step, sends the
  // step to the disk and reports it. Returns 0, the errno of a failure, or kCopyStopped.
  int Wrote(std::uint64_t bytes);
  // Sends and reports what is left of the last step; the same returns.
  int Finish();

private:
  int EndStep();
  int WriteBack(std::uint64_t start, std::uint64_t length, unsigned flags);

  int out_;
  CopyMeter& meter_;
  std::uint64_t stepStart_ = 0;
  std::uint64_t stepLength_ = 0;
  std::uint64_t previousStart_ = 0;
  std::uint64_t previousLength_ = 0;
  // False once the file has refused to be written back a range at a time; the final sync
  // then writes it all.
  bool inSteps_ = true;
};

}  // namespace tunelift
