#include "spawn_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <thread>

extern char** environ;

#include "child_environment.h"
#include "descriptor_posix.h"
#include "posix_error.h"

namespace tunelift {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder.empty() ? "." : folder);
  if (path.back() != '/') {
    path.push_back('/');
  }
  return path.append(name);
}

// Marks every descriptor above standard error close-on-exec, by one call where the kernel
// has it, else one by one. Only async-signal-safe calls: it runs between fork and exec.
void CloseInheritedDescriptors() {
  if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) {
    return;
  }
  long limit = sysconf(_SC_OPEN_MAX);
  if (limit < 0 || limit > 65536) {
    limit = 65536;
  }
  for (int fd = 3; fd < limit; ++fd) {
    int flags = fcntl(fd, F_GETFD);
    if (flags >= 0) {
      fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
  }
}

// The tool's environment with `added` in place of any variable of their names.
std::vector<std::string> ChildEnvironment(const std::vector<EnvironmentVariable>& added) {
  std::vector<std::string> inherited;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    inherited.emplace_back(*entry);
  }
  std::vector<std::string> additions;
  for (const EnvironmentVariable& variable : added) {
    additions.push_back(variable.name + "=" + variable.value);
  }
  return MergedEnvironment(inherited, additions,
                           [](std::string_view a, std::string_view b) { return a == b; });
}

// Pointers to `strings`, ended by a null pointer, as exec takes them.
std::vector<char*> NullEnded(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

// The child: becomes the program, or reports why it could not through `reportFd`.
[[noreturn]] void ExecOrReport(const char* executable, char* const argv[], char* const envp[],
                               int outputFd, int reportFd) {
  // Its own session: a terminal's hang-up or Ctrl+C meant for the tool does not reach it.
  setsid();
  if (outputFd >= 0 && (dup2(outputFd, STDOUT_FILENO) < 0 || dup2(outputFd, STDERR_FILENO) < 0)) {
    int error = errno;
    (void)!write(reportFd, &error, sizeof error);
    _exit(127);
  }
  CloseInheritedDescriptors();
  execve(executable, argv, envp);
  int error = errno;
  (void)!write(reportFd, &error, sizeof error);
  _exit(127);
}

// Reads the child's report: end of file means exec succeeded (the pipe closed on exec).
int ReadExecResult(int readFd) {
  int error = 0;
  ssize_t got;
  do {
    got = read(readFd, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

// The status as shells give it: the exit code, or 128 plus the signal that ended it.
int ExitStatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) {
    return WEXITSTATUS(waitStatus);
  }
  return WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : -1;
}

// Waits for the program to end and reaps it.
void Reap(pid_t pid) {
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// The output file, made new: nothing of that name (a symbolic link included) is replaced or
// written through, so the file is the tool's own, readable by its owner alone from the start.
// EEXIST when the name is taken, even by a process racing this one for it.
Descriptor CreateOutputFile(const std::string& name) {
  Descriptor file(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!file.valid()) {
    throw SystemError("Cannot create '" + name + "'", errno);
  }
  // Above standard error, so that the child's dup2 onto 1 and 2 never meets the file itself.
  if (file.get() <= STDERR_FILENO) {
    Descriptor raised(fcntl(file.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    const int error = errno;
    file = std::move(raised);
    errno = error;
  }
  // The umask may have taken the owner's own rights away. The lock goes with the open file
  // into the child's standard output, and so lasts as long as the program: any process can
  // tell from it that the program still runs (OutputHeld).
  if (!file.valid() || fchmod(file.get(), 0600) != 0 || flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    file.Close();
    unlink(name.c_str());
    throw SystemError("Cannot prepare '" + name + "'", error);
  }
  return file;
}

class PosixProgram : public RunningProgram {
public:
  explicit PosixProgram(pid_t pid) : pid_(pid) {}
  PosixProgram(const PosixProgram&) = delete;
  PosixProgram& operator=(const PosixProgram&) = delete;

  // A program still running when its owner lets go is reaped by a thread of its own once it
  // ends, so no zombie stays for the rest of the tool's life.
  ~PosixProgram() override {
    if (ended_) {
      return;
    }
    try {
      std::thread([pid = pid_] { Reap(pid); }).detach();
    } catch (const std::system_error&) {
      // No thread to be had: the program stays a zombie until the tool ends, which is all
      // that is lost; a destructor must not throw.
    }
  }

  bool Running() override {
    if (ended_) {
      return false;
    }
    int status = 0;
    pid_t result;
    do {
      result = waitpid(pid_, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) {
      return true;
    }
    ended_ = true;
    // ECHILD: someone else reaped it (SIGCHLD ignored), and its status is lost.
    status_ = result < 0 ? -1 : ExitStatusOf(status);
    return false;
  }

  int ExitStatus() const override { return status_; }

  void Stop() override {
    if (!Running()) {
      return;  // reaped: its number may belong to another process by now
    }
    // Not reaped yet, so its number is still its own. It leads a process group of its own
    // (ExecOrReport's setsid), which takes with it whatever it started; a program that
    // never came to lead one (its setsid failed) is ended alone.
    if (kill(-pid_, SIGKILL) != 0) {
      const int groupError = errno;
      if (groupError != ESRCH) {
        throw SystemError(What(), groupError);
      }
      if (kill(pid_, SIGKILL) != 0 && errno != ESRCH) {
        throw SystemError(What(), errno);
      }
    }
    AwaitEnd();
  }

private:
  std::string What() const { return "Cannot stop the program " + std::to_string(pid_); }

  // SIGKILL cannot be caught, but a process in an uninterruptible wait (a hung network file
  // system) takes it only when the wait ends: the wait here is bounded.
  void AwaitEnd() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
    while (Running()) {
      if (std::chrono::steady_clock::now() > deadline) {
        throw SystemError(What() + ": it has not ended", ETIMEDOUT);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  pid_t pid_;
  bool ended_ = false;
  int status_ = -1;
};

}  // namespace

std::string FindProgram(const std::string& name, const std::string& programFolder) {
  if (name.find('/') != std::string::npos) {
    return IsExecutableFile(name) ? name : std::string();
  }
  std::string candidate = JoinPath(programFolder, name);
  if (IsExecutableFile(candidate)) {
    return candidate;
  }
  const char* searchPath = std::getenv("PATH");
  std::string_view rest = searchPath ? searchPath : "";
  while (!rest.empty()) {
    std::size_t colon = rest.find(':');
    candidate = JoinPath(rest.substr(0, colon), name);
    if (IsExecutableFile(candidate)) {
      return candidate;
    }
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return {};
}

std::unique_ptr<RunningProgram> StartProgram(const std::string& executable,
                                             const std::vector<std::string>& args,
                                             const ShellOptions& options) {
  CheckEnvironmentVariables(options.environment, "Cannot start '" + executable + "'");
  // Everything the child needs is prepared here: after fork only async-signal-safe calls.
  std::vector<std::string> argStrings = args;
  const std::vector<char*> argv = NullEnded(argStrings);
  std::vector<std::string> environment = ChildEnvironment(options.environment);
  const std::vector<char*> envp = NullEnded(environment);
  const std::string& outputFile = options.outputFile;

  // The output file first: a program whose output has nowhere to go is not started.
  // The program has the file as its standard output and error; the tool's copy closes on
  // every way out of here.
  Descriptor output = outputFile.empty() ? Descriptor() : CreateOutputFile(outputFile);
  auto dropOutput = [&] {
    if (output.valid()) {
      output.Close();
      unlink(outputFile.c_str());
    }
  };
  // The child reports a failed exec through this pipe; a successful exec closes it.
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    int error = errno;
    dropOutput();
    throw SystemError("Cannot start '" + executable + "'", error);
  }
  Descriptor reportRead(ends[0]);
  Descriptor reportWrite(ends[1]);
  pid_t program = fork();
  if (program == 0) {
    ExecOrReport(executable.c_str(), argv.data(), envp.data(), output.get(), reportWrite.get());
  }
  int error = program < 0 ? errno : 0;
  reportWrite.Close();
  if (program > 0) {
    error = ReadExecResult(reportRead.get());
    if (error != 0) {
      Reap(program);  // it has already exited
    }
  }
  if (error != 0) {
    dropOutput();
    throw SystemError("Cannot start '" + executable + "'", error);
  }
  return std::make_unique<PosixProgram>(program);
}

bool OutputHeld(const std::string& path) {
  // Closing lets go of the shared lock this call may have taken.
  const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  return file.valid() && flock(file.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

}  // namespace tunelift
