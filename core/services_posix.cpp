// File and process services on POSIX. Where Windows and POSIX differ, the effects callers
// rely on are kept: wildcard names match without regard to case, a folder holding a
// read-only file is not deleted, and a program is found in the program folder first.
// Symbolic links, which the tool's users do not expect in its folders, are never followed
// where the tool writes or deletes (see no_follow_posix.h).

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/command_line.h"
#include "file_ops_posix.h"
#include "folder_tree_posix.h"
#include "core/native_services.h"
#include "posix_error.h"
#include "spawn_posix.h"
#include "text_stream_posix.h"

namespace tunelift {
namespace {

namespace fs = std::filesystem;

std::string RunningExecutableFolder() {
  std::error_code ec;
  fs::path executable = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    throw SystemError("Cannot find the program's own folder", ec.value());
  }
  return executable.parent_path().string();
}

// What keeps a folder from being made where something of its name already is; empty when
// nothing does.
std::string InTheWay(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::is_symlink(status)) {
    return "a symbolic link of that name already exists in its place, and Tunelift works in "
           "no folder it reaches through a link";
  }
  return fs::exists(status) && !fs::is_directory(status)
             ? "a file of that name already exists in its place"
             : "";
}

class PosixServices : public FileServices {
public:
  explicit PosixServices(std::string programFolder) : programFolder_(std::move(programFolder)) {
    // A write past a file-size limit (ulimit -f) then fails with EFBIG, reported like a full
    // disk, instead of ending the program and leaving its scratch file behind.
    signal(SIGXFSZ, SIG_IGN);
  }

  std::string ProgramFolder() const override { return programFolder_; }
  char Separator() const override { return '/'; }

  // POSIX has one tree and no drives.
  void ChDrive(const std::string&) override {}

  void ChDir(const std::string& path) override {
    if (chdir(path.c_str()) != 0) {
      throw SystemError("Cannot change to folder '" + path + "'", errno);
    }
  }

  std::string CurDir() const override {
    std::error_code ec;
    fs::path current = fs::current_path(ec);
    if (ec) {
      throw SystemError("Cannot read the current folder", ec.value());
    }
    return current.string();
  }

  void MkDir(const std::string& path) override {
    if (mkdir(path.c_str(), 0777) == 0) {
      return;
    }
    const int error = errno;
    const std::string what = "Cannot create folder '" + path + "'";
    const std::string obstacle = error == EEXIST ? InTheWay(path) : "";
    if (!obstacle.empty()) {
      throw Error(errnum::kFileExists, what + ": " + obstacle);
    }
    throw SystemError(what, error);
  }

  // A link to a folder is not a folder here: the tool never works in one it reaches that way.
  bool FolderExists(const std::string& path) const override {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(path, ec));
  }

  bool EntryExists(const std::string& path) const override {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    // Only "there is nothing" counts as free: a name that cannot be looked at may be taken.
    return status.type() != fs::file_type::not_found;
  }

  bool OutputHeld(const std::string& path) const override { return tunelift::OutputHeld(path); }

  void DeleteFolder(const std::string& path) override { DeleteFolderTree(path); }

  std::unique_ptr<TextStream> CreateTextFile(const std::string& name,
                                             const TextFileOptions& options) override {
    return CreatePosixTextFile(name, options);
  }

  void FileCopy(const std::string& source, const std::string& destination,
                const CopyOptions& options) override {
    CopyFileSafely(source, destination, options);
  }

  void Kill(const std::string& pattern) override { DeleteMatchingFiles(pattern); }

  void KillFile(const std::string& path) override { DeleteOneFile(path); }

  // Processes have no windows here: the style has no effect.
  std::unique_ptr<RunningProgram> Shell(const std::string& commandLine, WindowStyle,
                                        const ShellOptions& options) override {
    const ProgramToStart program = FindProgramToStart(commandLine, programFolder_, FindProgram);
    return StartProgram(program.executable, program.args, options);
  }

private:
  std::string programFolder_;
};

}  // namespace

std::string RunningProgramFolder() {
  return RunningExecutableFolder();
}

std::unique_ptr<FileServices> MakeNativeServices() {
  return std::make_unique<PosixServices>(RunningExecutableFolder());
}

std::unique_ptr<FileServices> MakeNativeServices(std::string programFolder) {
  return std::make_unique<PosixServices>(std::move(programFolder));
}

}  // namespace tunelift
