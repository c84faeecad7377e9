#pragma once
// The words of a command line and the commands they name.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tunelift::ftp {

enum class Verb { Open, User, Prompt, Binary, Ascii, Type, Put, Mput, Cd, Lcd, Close, Bye, Help };

struct CommandName {
  std::string_view name;
  Verb verb;
};

// Every command name, aliases included, in the order "help" lists them.
std::span<const CommandName> CommandNames();

struct VerbLookup {
  enum class Result { Found, Unknown, Ambiguous };
  Result result = Result::Unknown;
  Verb verb = Verb::Help;  // meaningful when Found
};

// The command `word` names, without regard to case. As on Windows, a word that begins only
// names of one command ("bin", "mp") names that command.
VerbLookup FindVerb(std::string_view word);

// The words of `line`, split at blanks; "double quotes" keep blanks inside one word.
std::vector<std::string> SplitWords(std::string_view line);

// True when `text` holds a control character (CR, LF, NUL, ...): in a user name, password or
// remote name it would end the FTP command early and start another.
bool HasControlCharacter(std::string_view text);

// Lower-case ASCII letters for upper-case ones; everything else unchanged.
std::string Lowercase(std::string_view text);

}  // namespace tunelift::ftp
