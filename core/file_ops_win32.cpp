#include "file_ops_win32.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "copy_meter.h"
#include "copy_steps_win32.h"
#include "file_deletion.h"
#include "listing/listing.h"
#include "text/path_split.h"
#include "text/utf8_path.h"
#include "text/wide_text_win32.h"
#include "listing/wildcard.h"
#include "core/win32_error.h"
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

// Opens the chosen file for the copy; throws when it cannot be read or is not a file on a disk.
UniqueHandle OpenSource(const std::string& source, const std::string& what) {
  UniqueHandle in =
      OwnHandle(CreateFileW(Wide(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in) {
    throw LastWin32Error(what);
  }
  if (GetFileType(in.get()) != FILE_TYPE_DISK) {
    throw Error(errnum::kPathFileAccess, what + ": the source is not a file");
  }
  return in;
}

// Copies the open source into the new file `scratch`, flushed to the disk; ERROR_SUCCESS, or
// the error of the failing call (ERROR_REQUEST_ABORTED when `options` stopped it). The copy is
// a new plain file: nothing of the source's attributes (read-only, hidden) comes with it, so
// that it shows in the list and can be deleted again.
DWORD CopyToScratch(HANDLE in, const std::wstring& scratch, const CopyOptions& options) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(in, &size)) {
    return GetLastError();
  }
  const UniqueHandle out =
      OwnHandle(CreateFileW(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!out) {
    return GetLastError();
  }
  CopyMeter meter(options, static_cast<std::uint64_t>(size.QuadPart));
  const DWORD copied = meter.Begin() ? CopyInSteps(in, out.get(), meter) : ERROR_REQUEST_ABORTED;
  // The last moment a stop can still leave the destination as it was.
  return copied == ERROR_SUCCESS && meter.StopRequested() ? ERROR_REQUEST_ABORTED : copied;
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
  const PathSplit split = SplitFolderAndName(path, "\\/");
  if (!split.hasFolder) {
    return ".";
  }
  // A drive's root keeps its separator: "C:" alone is the drive's current folder.
  const bool atRoot = split.folder.size() == 2 && split.folder[1] == ':';
  return path.substr(0, atRoot ? split.folder.size() + 1 : split.folder.size());
}

std::string ScratchPathBeside(const std::string& path, std::string_view purpose) {
  static std::atomic<unsigned> counter{0};
  char unique[64];
  std::snprintf(unique, sizeof unique, "-%lx-%llx-%x", GetCurrentProcessId(),
                static_cast<unsigned long long>(GetTickCount64()), counter++);
  return JoinPath(FolderOf(path), ".tunelift-" + std::string(purpose) + unique);
}

void CopyFileSafely(const std::string& source, const std::string& destination,
                    const CopyOptions& options) {
  const std::string what = "Cannot copy '" + source + "' to '" + destination + "'";
  if (IsSameFile(source, destination)) {
    return;
  }
  // As FileCopy always did, a read-only copy is not replaced (Wine would move over it).
  const DWORD existing = GetFileAttributesW(Wide(destination).c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
    throw Win32Error(what, ERROR_ACCESS_DENIED);
  }
  const UniqueHandle in = OpenSource(source, what);
  const std::wstring scratch = Wide(ScratchPathBeside(destination, "copy"));
  DWORD error = CopyToScratch(in.get(), scratch, options);
  // Moving replaces a link of the destination's name, never what the link leads to.
  if (error == ERROR_SUCCESS && !MoveFileExW(scratch.c_str(), Wide(destination).c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != ERROR_SUCCESS) {
    DeleteFileW(scratch.c_str());  // a copy that failed part way may have left some bytes
    throw error == ERROR_REQUEST_ABORTED ? CopyStopped(what) : Win32Error(what, error);
  }
}

void DeleteMatchingFiles(const std::string& pattern) {
  const std::string folder = FolderOf(pattern);
  const std::string name(SplitFolderAndName(pattern, "\\/").name);
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
