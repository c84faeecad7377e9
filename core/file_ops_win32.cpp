#include "file_ops_win32.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "file_deletion.h"
#include "listing/listing.h"
#include "listing/utf8_path.h"
#include "listing/wide_text_win32.h"
#include "listing/wildcard.h"
#include "win32_error.h"
#include "win32_handle.h"

namespace tunelift {
namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
  const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  return separated ? folder + name : folder + "\\" + name;
}

// The identity of the file at `path` (volume and index); nullopt when it cannot be opened.
std::optional<std::pair<DWORD, ULONGLONG>> FileIdentity(const std::string& path) {
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const UniqueHandle file =
      OwnHandle(CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) {
    return std::nullopt;
  }
  return std::pair(info.dwVolumeSerialNumber,
                   (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
}

bool IsSameFile(const std::string& a, const std::string& b) {
  const auto first = FileIdentity(a);
  return first && first == FileIdentity(b);
}

// Writes the scratch file's bytes to the disk before it takes the real name, so that a crash
// cannot leave a short file there.
bool FlushToDisk(const std::wstring& path) {
  const UniqueHandle file =
      OwnHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  return file && FlushFileBuffers(file.get());
}

// Clears the attributes a copy takes over from its source that would hide it from the list
// or keep it from being deleted.
bool MakePlain(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  const DWORD plain = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                          FILE_ATTRIBUTE_SYSTEM};
  return SetFileAttributesW(path.c_str(), plain == 0 ? FILE_ATTRIBUTE_NORMAL : plain);
}

std::vector<std::string> MatchingFiles(const std::string& folder, const std::string& name) {
  try {
    // Deleting takes hidden files and links too: "delete all" leaves nothing behind.
    return ListMatching(PathFromUtf8(folder), name,
                        {.entries = Entries::AllButFolders, .hidden = HiddenFiles::Take});
  } catch (const std::filesystem::filesystem_error& error) {
    const bool missing = error.code() == std::errc::no_such_file_or_directory;
    throw Error(missing ? errnum::kPathNotFound : errnum::kPathFileAccess,
                "Cannot read folder '" + folder + "': " + error.code().message());
  }
}

bool IsLink(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Calls `visit(path, attributes)` for each entry directly in `folder`, "." and ".." left out.
template <typename Visit>
void ForEachEntry(const std::string& folder, const std::string& what, Visit visit) {
  WIN32_FIND_DATAW found{};
  HANDLE first = FindFirstFileExW(Wide(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &found,
                                  FindExSearchNameMatch, nullptr, 0);
  if (first == INVALID_HANDLE_VALUE) {
    throw LastWin32Error(what);
  }
  const UniqueFind search(first);
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") {
      visit(JoinPath(folder, Utf8FromWide(name)), found.dwFileAttributes);
    }
  } while (FindNextFileW(search.get(), &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    throw LastWin32Error(what);
  }
}

// The first read-only file below `folder`, not looking through links; empty when none.
std::string FindReadOnlyFile(const std::string& folder, const std::string& what) {
  std::string readOnly;
  ForEachEntry(folder, what, [&](const std::string& path, DWORD attributes) {
    if (!readOnly.empty()) {
      return;
    }
    if (IsFolder(attributes) && !IsLink(attributes)) {
      readOnly = FindReadOnlyFile(path, what);
    } else if (!IsFolder(attributes) && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      readOnly = path;
    }
  });
  return readOnly;
}

void RemoveTree(const std::string& folder, const std::string& what) {
  ForEachEntry(folder, what, [&](const std::string& path, DWORD attributes) {
    if (IsFolder(attributes) && !IsLink(attributes)) {
      RemoveTree(path, what);
    } else if (IsFolder(attributes) ? !RemoveDirectoryW(Wide(path).c_str())
                                    : !DeleteFileW(Wide(path).c_str())) {
      throw LastWin32Error(what + ": '" + path + "'");
    }
  });
  if (!RemoveDirectoryW(Wide(folder).c_str())) {
    throw LastWin32Error(what);
  }
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) {
    return ".";
  }
  const bool atRoot = separator == 2 && path[1] == ':';
  return path.substr(0, atRoot ? separator + 1 : separator);
}

std::string ScratchPathBeside(const std::string& path, std::string_view purpose) {
  static std::atomic<unsigned> counter{0};
  char unique[64];
  std::snprintf(unique, sizeof unique, "-%lx-%llx-%x", GetCurrentProcessId(),
                static_cast<unsigned long long>(GetTickCount64()), counter++);
  return JoinPath(FolderOf(path), ".tunelift-" + std::string(purpose) + unique);
}

void CopyFileSafely(const std::string& source, const std::string& destination) {
  const std::string what = "Cannot copy '" + source + "' to '" + destination + "'";
  if (IsSameFile(source, destination)) {
    return;
  }
  // As FileCopy always did, a read-only copy is not replaced (Wine would move over it).
  const DWORD existing = GetFileAttributesW(Wide(destination).c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
    throw Win32Error(what, ERROR_ACCESS_DENIED);
  }
  const std::wstring from = Wide(source);
  const std::wstring scratch = Wide(ScratchPathBeside(destination, "copy"));
  if (!CopyFileExW(from.c_str(), scratch.c_str(), nullptr, nullptr, nullptr,
                   COPY_FILE_FAIL_IF_EXISTS)) {
    const DWORD error = GetLastError();
    DeleteFileW(scratch.c_str());  // a copy that failed part way may have left some bytes
    throw Win32Error(what, error);
  }
  // Moving replaces a link of the destination's name, never what the link leads to.
  const bool placed = MakePlain(scratch) && FlushToDisk(scratch) &&
                      MoveFileExW(scratch.c_str(), Wide(destination).c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!placed) {
    const DWORD error = GetLastError();
    DeleteFileW(scratch.c_str());
    throw Win32Error(what, error);
  }
}

void DeleteMatchingFiles(const std::string& pattern) {
  const std::string folder = FolderOf(pattern);
  const std::size_t separator = pattern.find_last_of("\\/");
  const std::string name = separator == std::string::npos ? pattern : pattern.substr(separator + 1);
  std::vector<std::string> files;
  if (HasWildcard(name)) {
    for (const std::string& match : MatchingFiles(folder, name)) {
      files.push_back(JoinPath(folder, match));
    }
  } else {
    files.push_back(pattern);
  }
  // DeleteFileW removes a link as a link.
  DeleteEachMatch(pattern, files, [](const std::string& file) -> std::optional<Error> {
    if (!DeleteFileW(Wide(file).c_str())) {
      return LastWin32Error("Cannot delete '" + file + "'");
    }
    return std::nullopt;
  });
}

void DeleteFolderTree(const std::string& path) {
  const std::string what = "Cannot delete folder '" + path + "'";
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    throw LastWin32Error(what);
  }
  if (!IsFolder(attributes)) {
    throw Win32Error(what, ERROR_DIRECTORY);
  }
  if (IsLink(attributes)) {
    if (!RemoveDirectoryW(Wide(path).c_str())) {
      throw LastWin32Error(what);
    }
    return;
  }
  const std::string readOnly = FindReadOnlyFile(path, what);
  if (!readOnly.empty()) {
    throw Error(errnum::kPermissionDenied, what + ": '" + readOnly + "' is read-only");
  }
  RemoveTree(path, what);
}

}  // namespace tunelift
