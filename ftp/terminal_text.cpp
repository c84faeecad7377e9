// TerminalSafe: text from a server, a script or a file name made safe to show on a terminal.
#include <cstddef>

#include "ftp/console.h"

namespace tunelift::ftp {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

struct Decoded {
  std::size_t length = 0;
  char32_t code = 0;
};

// The lead bytes of multi-byte sequences: which bits mark them, how long the sequence is, and
// the smallest code point it may carry (anything smaller is an overlong form).
struct Lead {
  unsigned char mask;
  unsigned char marker;
  std::size_t length;
  char32_t smallest;
};
constexpr Lead kLeads[] = {{0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};

// The length of the valid UTF-8 sequence at the start of `text` and its code point; length 0
// when the first byte starts no valid sequence (a stray continuation, an overlong form, a
// surrogate, a code point beyond U+10FFFF, a sequence cut short).
Decoded DecodeUtf8(std::string_view text) {
  const auto first = static_cast<unsigned char>(text[0]);
  if (first < 0x80) {
    return {1, first};
  }
  const Lead* lead = nullptr;
  for (const Lead& candidate : kLeads) {
    if ((first & candidate.mask) == candidate.marker) {
      lead = &candidate;
    }
  }
  if (lead == nullptr) {
    return {};
  }
  const std::size_t length = lead->length;
  char32_t code = first & static_cast<unsigned char>(~lead->mask);
  if (text.size() < length) {
    return {};
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!IsContinuation(byte)) {
      return {};
    }
    code = (code << 6) | (byte & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < lead->smallest || surrogate || code > 0x10FFFF) {
    return {};
  }
  return {length, code};
}

// False for what a terminal acts on rather than shows, or what reorders or breaks the line.
bool Shows(char32_t code) {
  if (code == U'\t') {
    return true;
  }
  const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
  const bool lineBreak = code == 0x2028 || code == 0x2029;
  const bool reordering = (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
  return !control && !lineBreak && !reordering;
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  while (!text.empty()) {
    const Decoded decoded = DecodeUtf8(text);
    if (decoded.length == 0) {
      shown.push_back('?');
      text.remove_prefix(1);
      continue;
    }
    if (Shows(decoded.code)) {
      shown.append(text.substr(0, decoded.length));
    } else {
      shown.push_back('?');
    }
    text.remove_prefix(decoded.length);
  }
  return shown;
}

}  // namespace tunelift::ftp
