#pragma once
// A full disk, made on purpose: the process's file-size limit (ulimit -f).

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace tunelift::testing {

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
