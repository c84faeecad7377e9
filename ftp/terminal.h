#pragma once
// Whether the standard streams are terminals (the platform's own test, one file per side).

namespace tunelift::ftp {

bool StandardInputIsTerminal();
bool StandardOutputIsTerminal();

}  // namespace tunelift::ftp
