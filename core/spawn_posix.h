#pragma once
// Starting a program beside the tool, on POSIX.

#include <memory>
#include <string>
#include <vector>

#include "core/services.h"

namespace tunelift {

// Looks a program up as Windows does for a bare name: in `programFolder` first, then on
// PATH. A name with a "/" is taken as it stands. Returns the empty string when not found.
std::string FindProgram(const std::string& name, const std::string& programFolder);

// Starts `executable` with `args` (args[0] included) in a new process and session that
// inherits the current directory, the environment with options.environment added, and no
// descriptor but standard input, output and error; with options.outputFile, standard output
// and error go to that file, made new for the owner alone (EEXIST when the name is taken).
// Returns once the program runs. Throws tunelift::Error when it cannot start, and then
// leaves neither a process nor the output file behind.
std::unique_ptr<RunningProgram> StartProgram(const std::string& executable,
                                             const std::vector<std::string>& args,
                                             const ShellOptions& options);

// True while a program started with `path` as its output file runs (in this process or any
// other): StartProgram locks the file, and the lock lives as long as the program holds it.
bool OutputHeld(const std::string& path);

}  // namespace tunelift
