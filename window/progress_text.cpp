#include "window/progress_text.h"

#include <algorithm>
#include <cstdio>

#include "window/dialogs.h"

namespace tunelift {
namespace {

// Sizes as a file manager shows them: decimal megabytes, to one place.
std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

// A kernel file lists a size of 0 whatever it holds: then only what has been copied is told.
std::string AmountText(const CopyProgress& progress) {
  const std::string copied = Megabytes(progress.copied);
  return progress.total == 0 ? copied + " copied"
                             : copied + " of " + Megabytes(progress.total) + " copied";
}

int BarPosition(const CopyProgress& progress) {
  if (progress.total == 0) {
    return 0;
  }
  // A file that grows while it is copied may go past the size it had.
  const std::uint64_t copied = std::min(progress.copied, progress.total);
  return static_cast<int>(copied * kProgressBarRange / progress.total);
}

}  // namespace

ProgressText ProgressTextFor(std::string_view name, const CopyProgress& progress) {
  return {.title = std::string(kApplicationTitle),
          .what = "Copying " + std::string(name) + " into the staging folder\u2026",
          .amount = AmountText(progress),
          .barPosition = BarPosition(progress)};
}

}  // namespace tunelift
