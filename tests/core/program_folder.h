#pragma once
// A fresh program folder per test, removed afterwards; the test's current directory is put
// back, since the operations under test change it. Folders come from std::filesystem, and
// paths pass to the core as UTF-8 text (Text), so the same tests run on every platform.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/native_services.h"
#include "core/server_settings.h"
#include "core/staging_area.h"

namespace tunelift::testing {

namespace fs = std::filesystem;

// The built-in account and no pinned key, on the host the core's tests send to.
ServerSettings MusicServer();

class ProgramFolderTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Services and operations for `folder` (the fixture's own when empty).
  void UseProgramFolder(const std::string& folderText);

  fs::path StagingPath() const { return root_ / "temp"; }
  // A path as the core takes it: UTF-8 text in the platform's own form.
  static std::string Text(const fs::path& path);
  // The path of a file named by UTF-8 text `name` in `folder`.
  static fs::path In(const fs::path& folder, const std::string& name);
  // Writes `bytes` into a new file at `path`, creating its folders.
  static void WriteFile(const fs::path& path, const std::string& bytes);
  static std::string ReadFile(const fs::path& path);
  // The names (UTF-8) of the entries directly in `folder`, sorted by their bytes.
  static std::vector<std::string> Names(const fs::path& folder);

  fs::path root_;
  fs::path outside_;  // A folder beside the program folder, for files chosen elsewhere.
  std::unique_ptr<FileServices> services_;
  std::unique_ptr<StagingArea> area_;

private:
  fs::path base_;
  fs::path startDirectory_;
};

// A program folder as start-up leaves it (the staging folder and the script), with the
// stand-in FTP client installed (replay_client.h).
class ClientFolderTest : public ProgramFolderTest {
protected:
  void SetUp() override;
};

}  // namespace tunelift::testing
