#pragma once
// Real child processes for tests: a program run to its end with its output captured, and a
// program left running beside the test (a server) that is stopped when its owner goes.
// Failures to start or to read throw std::system_error with the system's reason.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tunelift::test {

struct ProgramRun {
  std::filesystem::path program;
  std::vector<std::string> arguments;
  // Set in the child's environment on top of the test's own.
  std::vector<std::pair<std::string, std::string>> environment;
  std::string input;                    // all of standard input
  std::filesystem::path workingFolder;  // empty: the test's own
  // Standard output is a pipe nobody reads any more, as under "| head -c 5" once head has
  // ended; the output then stays empty.
  bool outputClosed = false;
};

struct ProgramResult {
  int exitCode = -1;  // -1 when a signal ended it
  std::string output;
  std::string errors;
};

ProgramResult RunProgram(const ProgramRun& run);

struct ChildOptions {
  // Standard input is the output pipe too: vsftpd writes its start-up failures to
  // descriptor 0, its control connection when inetd starts it.
  bool inputIsOutput = false;
  // The program leads a process group of its own, and stopping it stops the whole group (a
  // server's per-connection processes too).
  bool ownProcessGroup = false;
};

class ChildProcess {
public:
  // Starts `program` with its standard output on a pipe; standard error stays the test's.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               ChildOptions options = {});
  // Terminates the program (its group, with ownProcessGroup) and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int pid() const { return pid_; }
  // The next line of its output, without the LF. Throws std::system_error when none comes
  // within `timeout` or the output ends first.
  std::string ReadLine(std::chrono::milliseconds timeout);
  // True once the program has ended (it is then reaped).
  bool HasEnded();
  // The next line of its output if it has come already; never waits. Throws std::system_error
  // when the output has ended.
  std::optional<std::string> TryReadLine();

private:
  // Appends what output has come within `timeout`; false when none came.
  bool ReadSome(std::chrono::milliseconds timeout);
  std::string TakeLine();

  int pid_ = -1;
  int output_ = -1;
  bool ownGroup_ = false;
  bool ended_ = false;
  std::string buffered_;
};

}  // namespace tunelift::test
