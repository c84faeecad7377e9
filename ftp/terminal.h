#pragma once
// Standard streams that are terminals (the platform's own calls, one file per side).

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

}  // namespace tunelift::ftp
