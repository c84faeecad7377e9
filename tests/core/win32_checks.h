#pragma once
// What the Windows tests ask of the system beside the services under test.

#include <windows.h>

#include <filesystem>
#include <string>

#include "core/win32_handle.h"

namespace tunelift::testing {

// True when the access list is protected from inheritance and holds exactly one entry,
// which allows the user running the test (the analogue of mode 0600).
bool IsForItsOwnerAlone(PSECURITY_DESCRIPTOR descriptor);
// The same for the access list the file system keeps for `path`.
bool IsForItsOwnerAlone(const std::filesystem::path& path);

// Whether the file system keeps the access list a file is made with. Wine does not: it
// makes one up from the Unix mode bits, so a test of a file's own list proves nothing there.
bool FileSystemKeepsAccessLists(const std::filesystem::path& folder);

// Sets the search path for as long as it lives, and puts the old one back.
class SearchPathOverride {
public:
  explicit SearchPathOverride(const std::filesystem::path& folder);
  ~SearchPathOverride();
  SearchPathOverride(const SearchPathOverride&) = delete;
  SearchPathOverride& operator=(const SearchPathOverride&) = delete;

private:
  std::wstring saved_;
};

}  // namespace tunelift::testing
