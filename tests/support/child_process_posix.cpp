#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "tests/support/child_process.h"

extern char** environ;

namespace tunelift::test {
namespace {

[[noreturn]] void Throw(int number, const std::string& what) {
  throw std::system_error(number, std::generic_category(), what);
}

// Closes the descriptor when it goes.
class Descriptor {
public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { ::close(fd_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

private:
  int fd_;
};

// posix_spawn's list of what to do to the child's descriptors before it runs.
class FileActions {
public:
  FileActions() { posix_spawn_file_actions_init(&actions_); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  void Redirect(int from, int to) {
    const int error = posix_spawn_file_actions_adddup2(&actions_, from, to);
    if (error != 0) {
      Throw(error, "posix_spawn_file_actions_adddup2");
    }
  }
  void ChangeFolder(const std::filesystem::path& folder) {
    const int error = posix_spawn_file_actions_addchdir_np(&actions_, folder.c_str());
    if (error != 0) {
      Throw(error, "posix_spawn_file_actions_addchdir_np");
    }
  }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
  posix_spawn_file_actions_t actions_;
};

// A file with no name, open for reading and writing, not passed on to children unasked.
int AnonymousFile() {
  std::string name = (std::filesystem::temp_directory_path() / "tunelift-io-XXXXXX").string();
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    Throw(errno, "mkostemp " + name);
  }
  ::unlink(name.c_str());
  return fd;
}

// The writing end of a pipe whose reading end is already closed.
int PipeWithoutReader() {
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
    Throw(errno, "pipe2");
  }
  ::close(pipeEnds[0]);
  return pipeEnds[1];
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno != EINTR) {
      Throw(errno, "write");
    }
    text.remove_prefix(written > 0 ? static_cast<std::size_t>(written) : 0);
  }
}

std::string ReadAll(int fd) {
  if (::lseek(fd, 0, SEEK_SET) < 0) {
    Throw(errno, "lseek");
  }
  std::string text;
  char buffer[65536];
  for (ssize_t got = ::read(fd, buffer, sizeof buffer); got != 0;
       got = ::read(fd, buffer, sizeof buffer)) {
    if (got < 0 && errno != EINTR) {
      Throw(errno, "read");
    }
    text.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
  }
  return text;
}

// The test's environment with `extra` set on top.
std::vector<std::string> Environment(
    const std::vector<std::pair<std::string, std::string>>& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& [key, value] : extra) {
      replaced = replaced || key == name;
    }
    if (!replaced) {
      entries.emplace_back(text);
    }
  }
  for (const auto& [key, value] : extra) {
    entries.push_back(key + "=" + value);
  }
  return entries;
}

std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

// posix_spawn's attributes: by default none; on request a new process group.
class SpawnAttributes {
public:
  explicit SpawnAttributes(bool ownProcessGroup) {
    posix_spawnattr_init(&attributes_);
    if (ownProcessGroup) {
      posix_spawnattr_setpgroup(&attributes_, 0);
      posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP);
    }
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  const posix_spawnattr_t* get() const { return &attributes_; }

private:
  posix_spawnattr_t attributes_;
};

int Spawn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
          std::vector<std::string> environment, const FileActions& actions,
          bool ownProcessGroup = false) {
  std::vector<std::string> argv{program.string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> argvPointers = NullTerminated(argv);
  std::vector<char*> environmentPointers = NullTerminated(environment);
  pid_t pid = -1;
  const SpawnAttributes attributes(ownProcessGroup);
  const int error = posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(),
                                argvPointers.data(), environmentPointers.data());
  if (error != 0) {
    Throw(error, "posix_spawn " + program.string());
  }
  return pid;
}

int WaitFor(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      Throw(errno, "waitpid");
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProgramResult RunProgram(const ProgramRun& run) {
  const Descriptor input(AnonymousFile());
  const Descriptor output(AnonymousFile());
  const Descriptor errors(AnonymousFile());
  WriteAll(input.get(), run.input);
  if (::lseek(input.get(), 0, SEEK_SET) < 0) {
    Throw(errno, "lseek");
  }
  FileActions actions;
  actions.Redirect(input.get(), STDIN_FILENO);
  actions.Redirect(errors.get(), STDERR_FILENO);
  const Descriptor deadPipe(run.outputClosed ? PipeWithoutReader() : -1);
  actions.Redirect(run.outputClosed ? deadPipe.get() : output.get(), STDOUT_FILENO);
  if (!run.workingFolder.empty()) {
    actions.ChangeFolder(run.workingFolder);
  }
  const int pid = Spawn(run.program, run.arguments, Environment(run.environment), actions);
  ProgramResult result;
  result.exitCode = WaitFor(pid);
  result.output = ReadAll(output.get());
  result.errors = ReadAll(errors.get());
  return result;
}

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments, ChildOptions options)
    : ownGroup_(options.ownProcessGroup) {
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
    Throw(errno, "pipe2");
  }
  output_ = pipeEnds[0];
  const Descriptor writeEnd(pipeEnds[1]);
  FileActions actions;
  actions.Redirect(writeEnd.get(), STDOUT_FILENO);
  if (options.inputIsOutput) {
    actions.Redirect(writeEnd.get(), STDIN_FILENO);
  }
  try {
    pid_ = Spawn(program, arguments, Environment({}), actions, ownGroup_);
  } catch (...) {
    ::close(output_);
    throw;
  }
}

ChildProcess::~ChildProcess() {
  if (ownGroup_) {
    ::kill(-pid_, SIGTERM);  // the group outlives its leader: stop it even after that ended
  }
  if (!ended_) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  ::close(output_);
}

bool ChildProcess::HasEnded() {
  int status = 0;
  ended_ = ended_ || ::waitpid(pid_, &status, WNOHANG) == pid_;
  return ended_;
}

bool ChildProcess::ReadSome(std::chrono::milliseconds timeout) {
  pollfd wanted{.fd = output_, .events = POLLIN, .revents = 0};
  const int ready = ::poll(&wanted, 1, static_cast<int>(std::max<long long>(timeout.count(), 0)));
  if (ready == 0) {
    return false;
  }
  char buffer[4096];
  const ssize_t got = ready < 0 ? -1 : ::read(output_, buffer, sizeof buffer);
  if (got == 0) {
    Throw(EPIPE, "the child process ended its output");
  }
  if (got < 0 && errno != EINTR) {
    Throw(errno, "reading the child process's output");
  }
  buffered_.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
  return true;
}

std::string ChildProcess::TakeLine() {
  const std::size_t end = buffered_.find('\n');
  std::string line = buffered_.substr(0, end);
  buffered_.erase(0, end + 1);
  return line;
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (buffered_.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (!ReadSome(left)) {
      Throw(ETIMEDOUT, "no line from the child process in time");
    }
  }
  return TakeLine();
}

std::optional<std::string> ChildProcess::TryReadLine() {
  while (buffered_.find('\n') == std::string::npos) {
    if (!ReadSome(std::chrono::milliseconds(0))) {
      return std::nullopt;
    }
  }
  return TakeLine();
}

}  // namespace tunelift::test
