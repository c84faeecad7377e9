#pragma once
// What the POSIX tests ask of the system beside the services under test.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <filesystem>

namespace tunelift::testing {

// The permission bits of `path` (set-id and sticky bits included), following links.
mode_t ModeOf(const std::filesystem::path& path);

// Holds the process's file-size limit (ulimit -f) at `bytes` while it lives: a write beyond it
// fails part way, as on a full disk.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  rlimit previous_{};
};

}  // namespace tunelift::testing
