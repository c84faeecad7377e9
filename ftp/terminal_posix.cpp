#include <termios.h>
#include <unistd.h>

#include "terminal.h"

namespace tunelift::ftp {

bool StandardInputIsTerminal() {
  return isatty(STDIN_FILENO) == 1;
}

bool StandardOutputIsTerminal() {
  return isatty(STDOUT_FILENO) == 1;
}

HiddenTyping::HiddenTyping() {
  termios settings{};
  if (tcgetattr(STDIN_FILENO, &settings) != 0 || (settings.c_lflag & ECHO) == 0) {
    return;
  }
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  echoWasOn_ = tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0;
}

HiddenTyping::~HiddenTyping() {
  termios settings{};
  if (echoWasOn_ && tcgetattr(STDIN_FILENO, &settings) == 0) {
    settings.c_lflag |= ECHO;
    tcsetattr(STDIN_FILENO, TCSANOW, &settings);
  }
}

// A POSIX terminal takes the bytes as they are: UTF-8 throughout.
struct Utf8Console::Streams {};

Utf8Console::Utf8Console() = default;

Utf8Console::~Utf8Console() = default;

}  // namespace tunelift::ftp
