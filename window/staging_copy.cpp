#include "window/staging_copy.h"

#include <utility>

namespace tunelift {

StagingCopy::StagingCopy(Copy copy)
    : started_(std::chrono::steady_clock::now()),
      worker_([this, copy = std::move(copy)](std::stop_token stop) { RunCopy(copy, stop); }) {}

void StagingCopy::RunCopy(const Copy& copy, std::stop_token stop) {
  const CopyOptions options{.progress =
                                [this](const CopyProgress& progress) {
                                  total_.store(progress.total, std::memory_order_relaxed);
                                  copied_.store(progress.copied, std::memory_order_relaxed);
                                  begun_.store(true, std::memory_order_release);
                                },
                            .stop = std::move(stop)};
  try {
    copy(options);
  } catch (...) {
    // Nothing may leave the thread: the failure is the window's to tell.
    failure_ = std::current_exception();
  }
  ended_.store(true, std::memory_order_release);
}

CopyProgress StagingCopy::Progress() const {
  return {.copied = copied_.load(std::memory_order_relaxed),
          .total = total_.load(std::memory_order_relaxed)};
}

std::chrono::steady_clock::duration StagingCopy::Elapsed() const {
  return std::chrono::steady_clock::now() - started_;
}

void StagingCopy::TakeOutcome() const {
  if (failure_) {
    std::rethrow_exception(failure_);
  }
}

}  // namespace tunelift
