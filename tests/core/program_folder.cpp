#include "program_folder.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace tunelift::testing {

void ProgramFolderTest::SetUp() {
  startDirectory_ = fs::current_path();
  std::string base = (fs::temp_directory_path() / "tunelift-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(base.data()), nullptr);
  root_ = fs::path(base) / "program";
  outside_ = fs::path(base) / "music";
  fs::create_directories(root_);
  fs::create_directories(outside_);
  UseProgramFolder(root_.string());
}

void ProgramFolderTest::TearDown() {
  fs::current_path(startDirectory_);
  area_.reset();
  services_.reset();
  std::error_code ec;
  // Restore write rights first so that a test's read-only file does not outlive it.
  for (const auto& entry : fs::recursive_directory_iterator(root_.parent_path(), ec)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(root_.parent_path(), ec);
}

void ProgramFolderTest::UseProgramFolder(const std::string& folderText) {
  services_ = MakeNativeServices(folderText);
  area_ = std::make_unique<StagingArea>(*services_, "music.example.net");
}

void ProgramFolderTest::WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

std::string ProgramFolderTest::ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ProgramFolderTest::Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  getrlimit(RLIMIT_FSIZE, &previous_);
  rlimit small = previous_;
  small.rlim_cur = bytes;
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
}

FileSizeLimit::~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous_); }

}  // namespace tunelift::testing
