#include "spawn_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "posix_error.h"

namespace tunelift {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         access(path.c_str(), X_OK) == 0;
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

// The grandchild: becomes the program, or reports why it could not through `reportFd`.
[[noreturn]] void ExecOrReport(const char* executable, char* const argv[], int reportFd) {
  CloseInheritedDescriptors();
  execv(executable, argv);
  int error = errno;
  (void)!write(reportFd, &error, sizeof error);
  _exit(127);
}

// Reads the grandchild's report: end of file means exec succeeded (the pipe closed on exec).
int ReadExecResult(int readFd) {
  int error = 0;
  ssize_t got;
  do {
    got = read(readFd, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

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

void StartDetached(const std::string& executable, const std::vector<std::string>& args) {
  // Everything the child needs is prepared here: after fork only async-signal-safe calls.
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    throw SystemError("Cannot start '" + executable + "'", errno);
  }
  // Fork twice: the middle process exits at once and is reaped here, so the program is
  // adopted by init and never lingers as a zombie of the tool.
  pid_t middle = fork();
  if (middle < 0) {
    int error = errno;
    close(report[0]);
    close(report[1]);
    throw SystemError("Cannot start '" + executable + "'", error);
  }
  if (middle == 0) {
    setsid();
    pid_t program = fork();
    if (program == 0) {
      ExecOrReport(executable.c_str(), argv.data(), report[1]);
    }
    if (program < 0) {
      int error = errno;
      (void)!write(report[1], &error, sizeof error);
    }
    _exit(0);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = ReadExecResult(report[0]);
  close(report[0]);
  if (error != 0) {
    throw SystemError("Cannot start '" + executable + "'", error);
  }
}

}  // namespace tunelift

