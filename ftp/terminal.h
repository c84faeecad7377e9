#pragma once
// Standard streams that are terminals (the platform's own calls, one file per side).

#include <memory>

namespace tunelift::ftp {

bool StandardInputIsTerminal();
bool StandardOutputIsTerminal();

// While it lives, what is typed at a terminal on standard input is not shown (a password);
// elsewhere it does nothing. The echo comes back as it was, however the scope is left.
class HiddenTyping {
public:
  HiddenTyping();
  ~HiddenTyping();
  HiddenTyping(const HiddenTyping&) = delete;
  HiddenTyping& operator=(const HiddenTyping&) = delete;

private:
  bool echoWasOn_ = false;
};

// While it lives, what the client reads from and writes to a Windows console through
// std::cin and std::cout is UTF-8, passed through the console's wide calls: a console code
// page cannot hold every name. A POSIX terminal takes UTF-8 as it is: there it does nothing.
class Utf8Console {
public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

private:
  struct Streams;
  std::unique_ptr<Streams> streams_;
};

}  // namespace tunelift::ftp
