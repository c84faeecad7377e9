#include <windows.h>

#include "core/error.h"
#include "settings_file.h"
#include "core/win32_error.h"
#include "win32_handle.h"

namespace tunelift {
std::optional<std::string> ReadSettingsFile(const std::string& path, std::size_t limit) {
  const std::wstring name = Wide(path);
  // Opening a folder fails as "access denied": it is named for what it is first.
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      return std::nullopt;
    }
    throw Win32Error(CannotReadSettings(path), error);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw Error(errnum::kPathFileAccess,
                CannotReadSettings(path) + ": it is a folder, not a file.");
  }
  // Others may go on writing or replacing it: it is read once, at the start.
  const UniqueHandle file = OwnHandle(CreateFileW(
      name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      return std::nullopt;  // gone since the look
    }
    throw Win32Error(CannotReadSettings(path), error);
  }
  if (GetFileType(file.get()) != FILE_TYPE_DISK) {
    throw Error(errnum::kPathFileAccess, CannotReadSettings(path) + ": it is not a regular file.");
  }
  std::string text;
  char chunk[16 * 1024];
  while (text.size() <= limit) {
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) {
      throw LastWin32Error(CannotReadSettings(path));
    }
    if (got == 0) {
      break;
    }
    text.append(chunk, got);
  }
  return text;
}

}  // namespace tunelift
