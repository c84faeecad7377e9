#pragma once
// Reading UTF-8 one character at a time. Names on disk need not be valid UTF-8: every part of
// the tool that looks at their characters reads them here, by one rule.

#include <cstddef>
#include <string_view>

namespace tunelift {

struct Utf8Char {
  std::size_t length = 0;  // bytes; 0 when the text does not start with a valid sequence
  char32_t code = 0;
};

// The character at the start of the non-empty `text`. Length 0 when the first byte starts no
// valid, shortest-form sequence: a stray continuation byte, an overlong form, a surrogate, a
// code point beyond U+10FFFF, or a sequence cut short.
Utf8Char DecodeUtf8(std::string_view text);

// True for the control characters C0 (below U+0020), DEL and C1 (U+0080 to U+009F).
constexpr bool IsControl(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

}  // namespace tunelift
