#pragma once
// The platform's own file and process services (POSIX here, Win32 beside it).

#include <memory>
#include <string>

#include "services.h"

namespace tunelift {

// The folder of the running executable, as ProgramFolder() gives it. Throws tunelift::Error
// when the system cannot tell.
std::string RunningProgramFolder();
// Services whose program folder is the folder of the running executable.
std::unique_ptr<FileServices> MakeNativeServices();
// Services that take `programFolder` as the program folder (tests, tools run from elsewhere).
std::unique_ptr<FileServices> MakeNativeServices(std::string programFolder);

}  // namespace tunelift
