#pragma once
// An owner for memory that Windows allocated for the caller with LocalAlloc
// (CommandLineToArgvW, FormatMessageW's FORMAT_MESSAGE_ALLOCATE_BUFFER).

#include <windows.h>

#include <memory>

namespace tunelift {

struct LocalFreer {
  void operator()(void* memory) const noexcept { LocalFree(memory); }
};
template <typename T>
using UniqueLocal = std::unique_ptr<T, LocalFreer>;

}  // namespace tunelift
