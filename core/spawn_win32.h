#pragma once
// Starting a program on Win32.

#include <memory>
#include <string>

#include "core/services.h"

namespace tunelift {

// Looks a program up by the platform's own search (SearchPathW, ".exe" added to a name
// without an extension): in `programFolder` first, then where Windows looks for a bare
// name. A name with a folder in it is taken as it stands. Returns the empty string when
// there is no such program.
std::string FindProgram(const std::string& name, const std::string& programFolder);

// Starts `executable` with the command line `commandLine` as it stands, its window shown as
// `style` says (STARTUPINFO), in the current directory, with the tool's environment and
// options.environment added to it. The new process inherits no handle of the tool's, except,
// with options.outputFile, the file that becomes its standard output and error (made new,
// for its owner alone; a taken name fails with errnum::kFileExists) and the NUL device as
// its standard input. Returns at once. Throws tunelift::Error when it cannot start.
std::unique_ptr<RunningProgram> StartProgram(const std::string& executable,
                                             const std::string& commandLine, WindowStyle style,
                                             const ShellOptions& options);

// True while a program started with `path` as its output file runs (in this process or any
// other): it holds the file open for writing, shared with readers only.
bool OutputHeld(const std::string& path);

}  // namespace tunelift
