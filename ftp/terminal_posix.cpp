#include <unistd.h>

#include "ftp/terminal.h"

namespace tunelift::ftp {

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

}  // namespace tunelift::ftp
