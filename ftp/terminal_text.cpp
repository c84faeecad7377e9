// TerminalSafe: text from a server, a script or a file name made safe to show on a terminal.
#include <cstddef>

#include "ftp/console.h"
#include "listing/utf8.h"

namespace tunelift::ftp {
namespace {

// False for what a terminal acts on rather than shows, or what reorders or breaks the line.
bool Shows(char32_t code) {
  if (code == U'\t') {
    return true;
  }
  const bool lineBreak = code == 0x2028 || code == 0x2029;
  const bool reordering = (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
  return !IsControl(code) && !lineBreak && !reordering;
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
