#pragma once
// Splitting a command line into arguments by the rules Windows programs use, so that one
// command line means the same on every platform and no shell ever sees it.

#include <string>
#include <string_view>
#include <vector>

namespace tunelift {

// Spaces and tabs separate arguments; double quotes group them. A run of backslashes is
// literal unless a quote follows it: then each pair gives one backslash, and an odd one
// left over makes the quote literal.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace tunelift
