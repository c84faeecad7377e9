// Stands in for the desktop's viewer of a kind of file: registered by a test as the program
// that opens it, it writes the path it was given (its first argument, as UTF-8) into a file
// beside itself named after it with ".opened" added, and ends.

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  const int length = static_cast<int>(text.size());
  std::string utf8(static_cast<std::size_t>(length) * 4, '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(),
                                          static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return utf8;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc < 2) {
    return 2;
  }
  wchar_t self[MAX_PATH * 4] = {};
  if (GetModuleFileNameW(nullptr, self, MAX_PATH * 4) == 0) {
    return 3;
  }
  // Written beside, then renamed, so that the test never reads half a path.
  const std::wstring opened = std::wstring(self) + L".opened";
  const std::wstring part = opened + L".part";
  FILE* out = _wfopen(part.c_str(), L"wb");
  if (out == nullptr) {
    return 4;
  }
  const std::string path = Utf8(argv[1]);
  const bool written = std::fwrite(path.data(), 1, path.size(), out) == path.size();
  if (std::fclose(out) != 0 || !written) {
    return 5;
  }
  return MoveFileExW(part.c_str(), opened.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 6;
}
