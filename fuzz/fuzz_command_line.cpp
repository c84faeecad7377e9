// Splitting a command line by the Windows rules: any arguments, quoted as Windows programs
// quote them, split back into the very same arguments; no line makes the splitter fail.
#include <string>
#include <vector>

#include "core/command_line.h"
#include "fuzz_check.h"

namespace {

// One argument quoted so that the Windows rules give it back unchanged (the quoting that
// Windows' own documentation gives for CommandLineToArgvW).
std::string Quoted(std::string_view argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, '\\');  // before the closing quote
  return quoted + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tunelift;
  const std::string_view text = fuzz::AsText(data, size);
  const std::vector<std::string> fromLine = SplitCommandLine(text);
  for (const std::string& argument : fromLine) {
    fuzz::Check(argument.size() <= text.size(), "no argument is longer than the line");
  }
  std::vector<std::string> arguments;
  for (const std::string_view part : fuzz::SplitAtNul(text)) {
    arguments.emplace_back(part);
  }
  std::string line;
  for (const std::string& argument : arguments) {
    line += Quoted(argument) + " ";
  }
  fuzz::Check(SplitCommandLine(line) == arguments, "quoted arguments split back unchanged");
  return 0;
}
