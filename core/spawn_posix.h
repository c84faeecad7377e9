#pragma once
// Starting a program detached from the tool, on POSIX.

#include <string>
#include <vector>

namespace tunelift {

// Looks a program up as Windows does for a bare name: in `programFolder` first, then on
// PATH. A name with a "/" is taken as it stands. Returns the empty string when not found.
std::string FindProgram(const std::string& name, const std::string& programFolder);

// Starts `executable` with `args` (args[0] included) in a new process that inherits the
// current directory and no descriptor but standard input, output and error. Returns once
// the program runs; leaves no zombie behind. Throws tunelift::Error when it cannot start.
void StartDetached(const std::string& executable, const std::vector<std::string>& args);

}  // namespace tunelift
