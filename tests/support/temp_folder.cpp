#include "tests/support/temp_folder.h"

#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "text/utf8_path.h"

namespace tunelift::test {
namespace {

std::filesystem::filesystem_error FileError(const std::string& what,
                                            const std::filesystem::path& path) {
  return {what, path, std::make_error_code(std::errc::io_error)};
}

}  // namespace

TempFolder::TempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate =
        std::filesystem::temp_directory_path() / ("tunelift-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw FileError("no fresh temporary folder", std::filesystem::temp_directory_path());
}

TempFolder::~TempFolder() {
  std::error_code ignored;  // a destructor reports nothing; a leftover folder harms no test
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::Write(std::string_view name, std::string_view content) const {
  const std::filesystem::path file = path_ / PathFromUtf8(name);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out.flush()) {
    throw FileError("cannot write", file);
  }
  return file;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw FileError("cannot read", path);
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tunelift::test
