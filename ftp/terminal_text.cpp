// TerminalSafe: text from a server, a script or a file name made safe to show on a terminal.
#include <algorithm>
#include <cstddef>

#include "console.h"
#include "text/utf8.h"

namespace tunelift::ftp {
namespace {

struct CodeRange {
  char32_t first;
  char32_t last;
};

// What a terminal draws as nothing, yet acts on: Unicode's format characters (General
// Category Cf, as of Unicode 15), which reorder a line (bidi marks and overrides), join or
// hide text (zero-width characters, the soft hyphen, the byte-order mark, tags); and the line
// and paragraph separators, which break a line.
constexpr CodeRange kInvisible[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x2028, 0x2029},   {0x202A, 0x202E},   {0x2060, 0x2064},
    {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
    {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
};

bool IsInvisible(char32_t code) {
  return std::any_of(std::begin(kInvisible), std::end(kInvisible),
                     [code](CodeRange range) { return code >= range.first && code <= range.last; });
}

// False for what a terminal acts on rather than shows.
bool Shows(char32_t code) {
  return code == U'\t' || (!IsControl(code) && !IsInvisible(code));
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  while (!text.empty()) {
    const Utf8Char decoded = DecodeUtf8(text);
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
