#pragma once
// Splitting a command line into arguments by the rules Windows programs use, so that one
// command line means the same on every platform and no shell ever sees it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tunelift {

// Spaces and tabs separate arguments; double quotes group them. A run of backslashes is
// literal unless a quote follows it: then each pair gives one backslash, and an odd one
// left over makes the quote literal.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// What a command line starts: its words, and the program file for the first of them.
struct ProgramToStart {
  std::string executable;
  std::vector<std::string> args;  // args[0] as written
};

// Finds the program `commandLine` names with `find`, the platform's search, which is given
// the name and the program folder and returns the file or nothing (empty). Throws
// tunelift::Error for an empty line, and file-not-found when there is no such program.
using ProgramSearch =
    std::function<std::string(const std::string& name, const std::string& programFolder)>;
ProgramToStart FindProgramToStart(std::string_view commandLine, const std::string& programFolder,
                                  const ProgramSearch& find);

}  // namespace tunelift
