#pragma once
// Text crosses into Win32 here only: UTF-8 inside the tool, UTF-16 for the *W functions.
// The system's words for an error come out here too.
// For Win32 sources alone.

#include <stdexcept>
#include <string>
#include <string_view>

namespace tunelift {

// Thrown for text that is not valid UTF-8 (or UTF-16): it would name some other file.
class BadText : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
// Text for the eye (a message, a caption): never fails; bytes that are not UTF-8 show as the
// replacement character U+FFFD. Never for a name that a file call takes.
std::wstring WideForDisplay(std::string_view text);
// The same the other way, for text the user typed or the system shows: never fails; a lone
// surrogate shows as U+FFFD.
std::string Utf8ForDisplay(std::wstring_view text);

// The system's own words for the error number `code` (FormatMessageW), taken from `module`'s
// messages when one is given (WinINet keeps its own), without a closing full stop or line
// end; empty when the system has none.
std::string SystemWords(unsigned long code, void* module = nullptr);

}  // namespace tunelift
