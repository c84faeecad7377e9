#include "core/command_line.h"

#include <cstddef>
#include <utility>

#include "core/error.h"

namespace tunelift {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Reads the run of backslashes at `i` and what it means before the next character.
// Returns the index after the run (and after the quote it escapes, if any).
std::size_t ReadBackslashes(std::string_view text, std::size_t i, std::string& arg,
                            bool& inQuotes) {
  std::size_t count = 0;
  while (i < text.size() && text[i] == '\\') {
    ++count;
    ++i;
  }
  if (i >= text.size() || text[i] != '"') {
    arg.append(count, '\\');
    return i;
  }
  arg.append(count / 2, '\\');
  if (count % 2 == 1) {
    arg.push_back('"');
  } else {
    inQuotes = !inQuotes;
  }
  return i + 1;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (true) {
    while (i < commandLine.size() && IsBlank(commandLine[i])) {
      ++i;
    }
    if (i >= commandLine.size()) {
      return args;
    }
    std::string arg;
    bool inQuotes = false;
    while (i < commandLine.size() && (inQuotes || !IsBlank(commandLine[i]))) {
      if (commandLine[i] == '\\' || commandLine[i] == '"') {
        i = ReadBackslashes(commandLine, i, arg, inQuotes);
      } else {
        arg.push_back(commandLine[i++]);
      }
    }
    args.push_back(std::move(arg));
  }
}

ProgramToStart FindProgramToStart(std::string_view commandLine, const std::string& programFolder,
                                  const ProgramSearch& find) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty()) {
    throw Error(errnum::kInvalidCall, "Cannot start a program: the command line is empty");
  }
  std::string executable = find(args[0], programFolder);
  if (executable.empty()) {
    throw Error(errnum::kFileNotFound, "Cannot start '" + args[0] + "': no such program in '" +
                                           programFolder + "' or on the search path");
  }
  return {std::move(executable), std::move(args)};
}

}  // namespace tunelift
