#pragma once
// A fresh folder per test, and small file helpers for tests that use real files.

#include <filesystem>
#include <string>
#include <string_view>

namespace tunelift::test {

// A new, empty folder under the system's temporary folder; removed with everything in it
// when the object goes.
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `content` as the file `name` (UTF-8, "/" between folders) in the folder, making
  // folders on the way; returns its path. Throws std::filesystem::filesystem_error when it
  // cannot.
  std::filesystem::path Write(std::string_view name, std::string_view content) const;

private:
  std::filesystem::path path_;
};

// The whole content of a file, byte for byte. Throws std::filesystem::filesystem_error.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace tunelift::test
