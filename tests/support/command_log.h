#pragma once
// What the tests' FTP servers received, as one command a line.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tunelift::test {

// How many of `commands` start with the word `verb` ("USER", "STOR", "CONNECT").
inline std::size_t CountCommands(const std::vector<std::string>& commands, std::string_view verb) {
  std::size_t count = 0;
  for (const std::string& line : commands) {
    count += line == verb || line.starts_with(std::string(verb) + " ") ? 1 : 0;
  }
  return count;
}

}  // namespace tunelift::test
