// File and process services on Win32: the run-time statements and the file-system object's
// calls the tool was written against, with UTF-8 paths inside and UTF-16 at the system.

#include <windows.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "core/command_line.h"
#include "file_ops_win32.h"
#include "text/wide_text_win32.h"
#include "core/native_services.h"
#include "spawn_win32.h"
#include "text_stream_win32.h"
#include "core/win32_error.h"

namespace tunelift {
namespace {

std::string RunningExecutableFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
         path.size()) {
    path.resize(path.size() * 2);  // a long path was cut off: ask again with more room
  }
  if (length == 0) {
    throw LastWin32Error("Cannot find the program's own folder");
  }
  // App.Path: without the closing "\" unless the folder is a drive's root.
  return FolderOf(Utf8FromWide(std::wstring_view(path.data(), length)));
}

bool HasDriveLetter(const std::string& path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

class Win32Services : public FileServices {
public:
  explicit Win32Services(std::string programFolder) : programFolder_(std::move(programFolder)) {}

  std::string ProgramFolder() const override { return programFolder_; }
  char Separator() const override { return '\\'; }

  void ChDrive(const std::string& path) override {
    // A path without a drive letter (a network share) names no drive: ChDir alone takes it.
    if (!HasDriveLetter(path)) {
      return;
    }
    // "X:" alone is the current directory of drive X, so the drive becomes current.
    const std::string drive = path.substr(0, 2);
    if (!SetCurrentDirectoryW(Wide(drive).c_str())) {
      throw LastWin32Error("Cannot change to drive '" + drive + "'");
    }
  }

  void ChDir(const std::string& path) override {
    if (!SetCurrentDirectoryW(Wide(path).c_str())) {
      throw LastWin32Error("Cannot change to folder '" + path + "'");
    }
  }

  std::string CurDir() const override {
    std::vector<wchar_t> folder(MAX_PATH);
    DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    if (length >= folder.size()) {
      folder.resize(length);
      length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    }
    if (length == 0 || length >= folder.size()) {
      throw LastWin32Error("Cannot read the current folder");
    }
    return Utf8FromWide(std::wstring_view(folder.data(), length));
  }

  void MkDir(const std::string& path) override {
    if (!CreateDirectoryW(Wide(path).c_str(), nullptr)) {
      throw LastWin32Error("Cannot create folder '" + path + "'");
    }
  }

  bool FolderExists(const std::string& path) const override {
    try {
      const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    } catch (const Error&) {
      return false;  // a name that is not UTF-8 names no folder
    }
  }

  bool EntryExists(const std::string& path) const override {
    try {
      // The attributes of a link are its own: one that leads nowhere still has the name.
      if (GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
      }
      // Only "there is nothing" counts as free: a name that cannot be looked at may be taken.
      const DWORD error = GetLastError();
      return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    } catch (const Error&) {
      return true;  // a name that is not UTF-8 cannot be made either
    }
  }

  bool OutputHeld(const std::string& path) const override { return tunelift::OutputHeld(path); }

  void DeleteFolder(const std::string& path) override { DeleteFolderTree(path); }

  std::unique_ptr<TextStream> CreateTextFile(const std::string& name,
                                             const TextFileOptions& options) override {
    return CreateWin32TextFile(name, options);
  }

  void FileCopy(const std::string& source, const std::string& destination,
                const CopyOptions& options) override {
    CopyFileSafely(source, destination, options);
  }

  void Kill(const std::string& pattern) override { DeleteMatchingFiles(pattern); }

  void KillFile(const std::string& path) override {
    // DeleteFileW takes no wildcards and removes a link as a link.
    if (!DeleteFileW(Wide(path).c_str())) {
      throw LastWin32Error("Cannot delete '" + path + "'");
    }
  }

  std::unique_ptr<RunningProgram> Shell(const std::string& commandLine, WindowStyle style,
                                        const ShellOptions& options) override {
    const ProgramToStart program = FindProgramToStart(commandLine, programFolder_, FindProgram);
    // The command line goes to the program as it was written: Windows programs split it.
    return StartProgram(program.executable, commandLine, style, options);
  }

private:
  std::string programFolder_;
};

}  // namespace

std::string RunningProgramFolder() {
  return RunningExecutableFolder();
}

std::unique_ptr<FileServices> MakeNativeServices() {
  return std::make_unique<Win32Services>(RunningExecutableFolder());
}

std::unique_ptr<FileServices> MakeNativeServices(std::string programFolder) {
  return std::make_unique<Win32Services>(std::move(programFolder));
}

}  // namespace tunelift
