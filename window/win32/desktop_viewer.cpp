#include "desktop_viewer.h"

#include <shellapi.h>

#include "core/win32_error.h"

namespace tunelift {
namespace {

// ShellExecuteW's own numbers at or below 32, as the system's error numbers.
DWORD SystemErrorFor(INT_PTR shellResult) {
  switch (shellResult) {
    case 0:
    case SE_ERR_OOM: return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_FNF: return ERROR_FILE_NOT_FOUND;
    case SE_ERR_PNF: return ERROR_PATH_NOT_FOUND;
    case SE_ERR_ACCESSDENIED: return ERROR_ACCESS_DENIED;
    case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
    case SE_ERR_NOASSOC:
    case SE_ERR_ASSOCINCOMPLETE: return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
    default: return ERROR_BAD_FORMAT;
  }
}

}  // namespace

void OpenInDesktopViewer(HWND owner, const std::string& path) {
  const std::wstring file = Wide(path);
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(owner, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  // Above 32: the viewer started. At or below, the shell's own number says why not.
  if (result <= 32) {
    throw Win32Error("Cannot open '" + path + "'", SystemErrorFor(result));
  }
}

}  // namespace tunelift
