#pragma once
// One copy followed for FileCopy's options (services.h), the same on every platform: the
// bytes copied so far, reported after each step, and the stop that ends it between steps.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "core/services.h"

namespace tunelift {

// A copy goes in steps of this size, reporting and perhaps stopping between two. Large enough
// that the steps cost nothing beside the copy itself; small enough that a slow disk still
// takes one in a fraction of a second.
inline constexpr std::size_t kCopyStep = std::size_t{8} << 20;

class CopyMeter {
public:
  // `options` must outlive the meter; `total` is the source's size as the copy begins.
  CopyMeter(const CopyOptions& options, std::uint64_t total);

  // Reports the copy as begun, nothing copied yet; false once a stop has been requested.
  bool Begin() { return Step(0); }
  // Counts `bytes` more as copied and reports how far the copy has come; false once a stop
  // has been requested.
  bool Step(std::uint64_t bytes);
  bool StopRequested() const { return options_.stop.stop_requested(); }

private:
  const CopyOptions& options_;
  CopyProgress progress_;
};

// The error of a copy stopped by its CopyOptions; `what` names the copy.
Error CopyStopped(const std::string& what);

}  // namespace tunelift
