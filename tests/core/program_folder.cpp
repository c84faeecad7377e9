#include "program_folder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "text/utf8_path.h"

namespace tunelift::testing {
namespace {

fs::path FreshFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("tunelift-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      return candidate;
    }
  }
  throw fs::filesystem_error("no fresh temporary folder", fs::temp_directory_path(),
                             std::make_error_code(std::errc::file_exists));
}

}  // namespace

void ProgramFolderTest::SetUp() {
  startDirectory_ = fs::current_path();
  base_ = FreshFolder();
  root_ = base_ / "program";
  outside_ = base_ / "music";
  fs::create_directories(root_);
  fs::create_directories(outside_);
  UseProgramFolder(Text(root_));
}

void ProgramFolderTest::TearDown() {
  fs::current_path(startDirectory_);
  area_.reset();
  services_.reset();
  std::error_code ec;
  // Restore write rights first so that a test's read-only file does not outlive it.
  for (const auto& entry : fs::recursive_directory_iterator(base_, ec)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(base_, ec);
}

ServerSettings MusicServer() {
  ServerSettings server = BuiltInServerSettings();
  server.host = "music.example.net";
  server.pinnedKey.clear();
  return server;
}

void ProgramFolderTest::UseProgramFolder(const std::string& folderText) {
  services_ = MakeNativeServices(folderText);
  area_ = std::make_unique<StagingArea>(*services_, MusicServer());
}

std::string ProgramFolderTest::Text(const fs::path& path) {
  return Utf8FromPath(path);
}

fs::path ProgramFolderTest::In(const fs::path& folder, const std::string& name) {
  return folder / PathFromUtf8(name);
}

void ProgramFolderTest::WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << Text(path);
}

std::string ProgramFolderTest::ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ProgramFolderTest::Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(Text(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tunelift::testing
