#pragma once
// Text crosses into Win32 here only: UTF-8 inside the tool, UTF-16 for the *W functions.
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

}  // namespace tunelift
