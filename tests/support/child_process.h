#pragma once
// Real child processes for tests: a program run to its end with its output captured, and a
// program left running beside the test (a server) that is stopped when its owner goes.
// Failures to start or to read throw std::system_error with the system's reason.

#include <chrono>
#include <filesystem>
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
};

struct ProgramResult {
  int exitCode = -1;  // -1 when a signal ended it
  std::string output;
  std::string errors;
};

ProgramResult RunProgram(const ProgramRun& run);

class ChildProcess {
public:
  // Starts `program` with its standard output on a pipe; standard error stays the test's.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
  // Terminates the program and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of its output, without the LF. Throws std::system_error when none comes
  // within `timeout` or the output ends first.
  std::string ReadLine(std::chrono::milliseconds timeout);

private:
  int pid_ = -1;
  int output_ = -1;
  std::string buffered_;
};

}  // namespace tunelift::test
