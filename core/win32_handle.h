#pragma once
// Owners of Win32 handles, so that no return path has to close one by hand.

#include <windows.h>

#include <memory>

namespace tunelift {

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
// A kernel handle (file, process); never INVALID_HANDLE_VALUE: use OwnHandle.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Owns `handle`; empty for the two values Win32 uses for "none".
inline UniqueHandle OwnHandle(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct FindCloser {
  void operator()(HANDLE handle) const noexcept { FindClose(handle); }
};
// A search begun by FindFirstFileW.
using UniqueFind = std::unique_ptr<void, FindCloser>;

}  // namespace tunelift
