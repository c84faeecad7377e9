#pragma once
// A chosen file copied into the staging folder on a thread of its own, so that the window
// stays live meanwhile: it repaints, its timers run, its buttons answer. The window's thread
// starts the copy, looks at it on the copy timer's ticks, and takes its outcome once it has
// ended; nothing else is shared between the two threads.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>

#include "core/services.h"

namespace tunelift {

class StagingCopy {
public:
  // The copy itself (StagingArea::StageFile), run on the copy's own thread with options that
  // record its progress and carry its stop. Whatever it throws is its outcome.
  using Copy = std::function<void(const CopyOptions&)>;

  // Starts `copy` at once.
  explicit StagingCopy(Copy copy);
  // Stops the copy if it still runs and waits for its end, so that no copy outlives its
  // window and none leaves a scratch file behind.
  ~StagingCopy() = default;
  StagingCopy(const StagingCopy&) = delete;
  StagingCopy& operator=(const StagingCopy&) = delete;

  // True once the copy has ended: done, failed or stopped.
  bool Ended() const { return ended_.load(std::memory_order_acquire); }
  // True once the copy has reported at all, its size known.
  bool Begun() const { return begun_.load(std::memory_order_acquire); }
  // How far it has come, as it last reported.
  CopyProgress Progress() const;
  // How long since it started.
  std::chrono::steady_clock::duration Elapsed() const;
  // Asks the copy to stop at its next step; it then ends soon, leaving the staging folder as
  // it was. Nothing changes for a copy that has ended.
  void Cancel() { worker_.request_stop(); }
  bool Cancelled() const { return worker_.get_stop_token().stop_requested(); }
  // Once Ended: returns when the copy was done, else throws what it failed or stopped with.
  void TakeOutcome() const;

private:
  void RunCopy(const Copy& copy, std::stop_token stop);

  const std::chrono::steady_clock::time_point started_;
  std::atomic<std::uint64_t> copied_{0};
  std::atomic<std::uint64_t> total_{0};
  std::atomic<bool> begun_{false};
  std::atomic<bool> ended_{false};
  std::exception_ptr failure_;  // written by the copy's thread before ended_, read after it
  // Last, so that it is stopped and joined before anything it uses goes.
  std::jthread worker_;
};

}  // namespace tunelift
