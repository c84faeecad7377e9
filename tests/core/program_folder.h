#pragma once
// A fresh program folder per test, removed afterwards; the test's current directory is put
// back, since the operations under test change it.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/native_services.h"
#include "core/staging_area.h"

namespace tunelift::testing {

namespace fs = std::filesystem;

class ProgramFolderTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Services and operations for `folder` (the fixture's own when empty).
  void UseProgramFolder(const std::string& folderText);

  fs::path StagingPath() const { return root_ / "temp"; }
  // Writes `bytes` into a new file at `path`, creating its folders.
  static void WriteFile(const fs::path& path, const std::string& bytes);
  static std::string ReadFile(const fs::path& path);
  // The names of the entries directly in `folder`, sorted.
  static std::vector<std::string> Names(const fs::path& folder);

  fs::path root_;
  fs::path outside_;  // A folder beside the program folder, for files chosen elsewhere.
  std::unique_ptr<FileServices> services_;
  std::unique_ptr<StagingArea> area_;

private:
  fs::path startDirectory_;
};

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
