#pragma once
// The file and process services the staging logic needs of the platform, behind one interface
// so that the logic runs unchanged on POSIX and on Win32. Every operation but FolderExists
// throws tunelift::Error when it fails; none reports success for a failure.
// Paths are plain text in the platform's own form (separator: Separator()). Nothing is written
// or deleted through a symbolic link: a link is replaced or deleted as a link, and a folder
// reached only through one is neither written into nor emptied.

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace tunelift {

// How a started program's window is shown. The values are the platform's own; where
// processes have no windows the style has no effect.
enum class WindowStyle {
  Hidden = 0,
  NormalFocus = 1,
  MinimizedFocus = 2,
  MaximizedFocus = 3,
  NormalNoFocus = 4,
  MinimizedNoFocus = 6,
};

// A text file opened for writing by CreateTextFile. Close() completes it on disk and only then
// gives it its name; a stream destroyed without Close() leaves the name as it was.
class TextStream {
public:
  virtual ~TextStream() = default;
  // Appends `text` followed by carriage return and line feed.
  virtual void WriteLine(const std::string& text) = 0;
  virtual void Close() = 0;
};

// A variable put into a started program's environment.
struct EnvironmentVariable {
  std::string name;   // not empty; neither "=" nor NUL in it
  std::string value;  // no NUL in it
};

// How Shell starts a program.
struct ShellOptions {
  // Where the program's standard output and standard error go: a new file that only its
  // owner may read. Nothing of that name is ever replaced: when something has it already,
  // Shell starts nothing and fails with errnum::kFileExists. Empty: the tool's own.
  std::string outputFile = {};
  // The program's environment is the tool's own with these added, each in place of a
  // variable of its name (on Windows names compare without regard to case).
  std::vector<EnvironmentVariable> environment = {};
};

// A program started by Shell. Dropping it neither waits for nor stops the program.
class RunningProgram {
public:
  virtual ~RunningProgram() = default;
  // True while the program runs. Never blocks; once the program has ended it is reaped
  // (no zombie) and this stays false.
  virtual bool Running() = 0;
  // The exit status; meaningful once Running() has returned false. Where a signal ended
  // the program, 128 plus its number, as shells report it; -1 when the status was lost.
  virtual int ExitStatus() const = 0;
  // Ends the program at once, without a chance to finish what it does: on POSIX its whole
  // process group (the program and what it started) by SIGKILL, on Windows the program by
  // TerminateProcess with kStoppedExitCode. Returns once it has ended (Running() is then
  // false), within kStopWaitMs. Nothing to do once it has ended. Throws tunelift::Error when
  // the system refuses, or the program has not ended within the wait.
  virtual void Stop() = 0;
};

// How far a copy has come: the bytes copied so far, of the source's size when it began.
struct CopyProgress {
  std::uint64_t copied = 0;
  std::uint64_t total = 0;
};

// What FileCopy reports while it runs, and the stop it obeys; both on the copying thread.
struct CopyOptions {
  // Called as the copy begins, after each step (a few MiB), and once the content is all there.
  std::function<void(const CopyProgress&)> progress;
  // A stop requested here ends the copy at the next step: FileCopy fails with
  // errnum::kUserInterrupt and leaves the destination as it was.
  std::stop_token stop;
};

// The exit code of a program that Stop ended on Windows, as "taskkill /F" gives it.
inline constexpr unsigned kStoppedExitCode = 1;
// How long Stop waits for the program to end once it was told to.
inline constexpr int kStopWaitMs = 5000;

struct TextFileOptions {
  bool overwrite = true;
  // The file may be read and written by its owner alone, from the moment it exists.
  bool ownerOnly = false;
};

class FileServices {
public:
  virtual ~FileServices() = default;

  // The folder of the running program: no closing separator unless it is a root.
  virtual std::string ProgramFolder() const = 0;
  // The character that separates folders in the paths the core builds.
  virtual char Separator() const = 0;

  // Makes the drive of `path` current (nothing to do where there are no drives).
  virtual void ChDrive(const std::string& path) = 0;
  // Makes `path` the current directory; later relative names resolve in it.
  virtual void ChDir(const std::string& path) = 0;
  virtual std::string CurDir() const = 0;
  // Named after the run-time statement it mirrors; here it makes the staging folder.
  // Creates one folder; its parent must exist.
  virtual void MkDir(const std::string& path) = 0;
  // True when a folder of that name exists (a link to one does not count); never fails.
  virtual bool FolderExists(const std::string& path) const = 0;
  // True when anything has that name: a file, a folder, a link (even one that leads nowhere),
  // or an entry that cannot be looked at; never fails.
  virtual bool EntryExists(const std::string& path) const = 0;
  // True while a program that Shell started with `path` as its output file still runs,
  // started by this process or another: it holds the file for as long as it runs. False when
  // no program holds it, or there is no such file; never fails.
  virtual bool OutputHeld(const std::string& path) const = 0;
  // Removes the folder and everything in it, or nothing: whatever would stop the removal part
  // way (a read-only file inside, a folder that cannot be written, ...) makes it fail before
  // anything is removed. A link is removed as a link.
  virtual void DeleteFolder(const std::string& path) = 0;
  // A new, empty text file; with overwrite it replaces any file (or link) of that name once it
  // is closed. A write that fails leaves the older file, or none.
  virtual std::unique_ptr<TextStream> CreateTextFile(const std::string& name,
                                                     const TextFileOptions& options) = 0;
  // The destination becomes a copy of the source, replacing an existing file. A failed or
  // stopped copy leaves the destination as it was; copying a file onto itself changes nothing.
  // It touches no state of the services, so it may run on a thread of its own while the
  // caller's thread goes on.
  virtual void FileCopy(const std::string& source, const std::string& destination,
                        const CopyOptions& options = {}) = 0;
  // Named after the run-time statement it mirrors; here it clears the staged files.
  // Deletes every file (not folder) whose name matches the last part of `pattern`, which may
  // hold the wildcards * and ?, without regard to case; "*.*" matches every name. Fails with
  // file-not-found when nothing matches.
  virtual void Kill(const std::string& pattern) = 0;
  // Deletes exactly the file (or link) at `path`; no character in it is a wildcard.
  virtual void KillFile(const std::string& path) = 0;
  // Named after the run-time statement it mirrors; here it starts the FTP client.
  // Starts the program named first in `commandLine` (the platform's quoting rules) in a new
  // process that inherits the current directory, and returns at once without waiting. A bare
  // program name is looked for in the program folder first, then by the platform's own search
  // (the search path). Fails, and starts nothing, when the program or the output file cannot be
  // had.
  virtual std::unique_ptr<RunningProgram> Shell(const std::string& commandLine, WindowStyle style,
                                                const ShellOptions& options = {}) = 0;
};

}  // namespace tunelift
