#include "core/win32_error.h"

#include <windows.h>

#include "text/wide_text_win32.h"

namespace tunelift {
namespace {

int NumberForSystemError(DWORD systemError) {
  switch (systemError) {
    case ERROR_FILE_NOT_FOUND: return errnum::kFileNotFound;
    case ERROR_PATH_NOT_FOUND: return errnum::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return errnum::kPermissionDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return errnum::kFileExists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return errnum::kDiskFull;
    case ERROR_TOO_MANY_OPEN_FILES: return errnum::kTooManyFiles;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return errnum::kBadFileName;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return errnum::kOutOfMemory;
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY: return errnum::kDeviceUnavailable;
    default: return errnum::kPathFileAccess;
  }
}

}  // namespace

Error Win32Error(const std::string& what, unsigned long systemError) {
  std::string words = SystemWords(systemError);
  if (words.empty()) {
    words = "system error " + std::to_string(systemError);
  }
  return Error(NumberForSystemError(systemError), what + ": " + words);
}

Error LastWin32Error(const std::string& what) {
  return Win32Error(what, GetLastError());
}

std::wstring Wide(const std::string& text) {
  try {
    return WideFromUtf8(text);
  } catch (const BadText& error) {
    throw Error(errnum::kBadFileName, error.what());
  }
}

}  // namespace tunelift
