#include "file_queue.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <string>

#include "console.h"
#include "local_files.h"

namespace tunelift::ftp {

FileQueue::FileQueue(const std::vector<std::filesystem::path>& files)
    : list_(files), notDone_(files.size()) {
  std::vector<std::pair<std::int64_t, Queued>> sized;
  for (std::size_t place = 0; place < files.size(); ++place) {
    sized.push_back({LocalSize(files[place]), {files[place], place}});
  }
  // Smallest at the front, the largest (and of one size, the first listed) at the back.
  std::stable_sort(sized.begin(), sized.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.place > b.second.place;
  });
  for (auto& [size, queued] : sized) {
    files_.push_back(std::move(queued));
  }
}

std::optional<std::filesystem::path> FileQueue::Next() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !files_.empty() || notDone_ == files_.size(); });
  if (files_.empty()) {
    return std::nullopt;
  }
  std::filesystem::path next = std::move(files_.back().file);
  files_.pop_back();
  return next;
}

void FileQueue::Done() {
  {
    const std::lock_guard lock(mutex_);
    --notDone_;
  }
  changed_.notify_all();
}

void FileQueue::GiveBack(const std::filesystem::path& file) {
  {
    const std::lock_guard lock(mutex_);
    const auto place = std::find(list_.begin(), list_.end(), file) - list_.begin();
    files_.push_back({file, static_cast<std::size_t>(place)});
  }
  changed_.notify_all();
}

std::vector<std::filesystem::path> FileQueue::TakeRest() {
  const std::lock_guard lock(mutex_);
  std::sort(files_.begin(), files_.end(),
            [](const Queued& a, const Queued& b) { return a.place < b.place; });
  std::vector<std::filesystem::path> rest;
  for (Queued& queued : files_) {
    rest.push_back(std::move(queued.file));
  }
  notDone_ -= files_.size();
  files_.clear();
  return rest;
}

ConnectionCount::ConnectionCount(std::size_t asked, Console& console)
    : console_(console), asked_(asked) {}

void ConnectionCount::Accepted() {
  const std::lock_guard lock(mutex_);
  ++accepted_;
  Settle();
}

void ConnectionCount::Refused(const std::string& why) {
  const std::lock_guard lock(mutex_);
  if (firstRefusal_.empty()) {
    firstRefusal_ = why;
  }
  Settle();
}

void ConnectionCount::Settle() {
  ++settled_;
  if (settled_ < asked_ || accepted_ == asked_) {
    return;
  }
  const std::size_t going = accepted_ + 1;  // the session's own connection too
  console_.Say("The server did not take " + std::to_string(asked_ - accepted_) + " of " +
               std::to_string(asked_ + 1) + " connections (" + firstRefusal_ + "): going on with " +
               std::to_string(going) + (going == 1 ? " connection." : " connections."));
}

}  // namespace tunelift::ftp
