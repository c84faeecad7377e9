#pragma once
// What the progress dialog of a long copy says, the same in every window.

#include <string>
#include <string_view>

#include "core/services.h"

namespace tunelift {

// The progress bar's range: its position is the part copied, in thousandths.
inline constexpr int kProgressBarRange = 1000;

struct ProgressText {
  std::string title;
  std::string what;     // which file goes where
  std::string amount;   // how much of it is copied
  int barPosition = 0;  // 0 to kProgressBarRange
};

// The text for the copy of the file staged as `name`, come as far as `progress`.
ProgressText ProgressTextFor(std::string_view name, const CopyProgress& progress);

}  // namespace tunelift
