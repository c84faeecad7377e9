#include "plain_text.h"

#include "text/utf8.h"

namespace tunelift {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";              // U+2026

bool BreaksOrSpaces(char32_t code) {
  return code == U'\t' || code == U'\n' || code == U'\v' || code == U'\f' || code == U'\r' ||
         code == 0x85 || code == 0x2028 || code == 0x2029;
}

// Characters that show nothing themselves but change how the text around them shows: the
// Arabic letter mark, zero-width characters and the marks of direction, the bidirectional
// embeddings, overrides and isolates, invisible operators, the byte-order mark, and the
// interlinear annotation marks.
bool Invisible(char32_t code) {
  return code == 0x061C || (code >= 0x200B && code <= 0x200F) ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2060 && code <= 0x206F) ||
         code == 0xFEFF || (code >= 0xFFF9 && code <= 0xFFFB);
}

}  // namespace

std::string PlainText(std::string_view text, std::size_t longest) {
  std::string plain;
  std::size_t characters = 0;
  bool spaceDue = false;
  while (!text.empty()) {
    const Utf8Char c = DecodeUtf8(text);
    const std::string_view bytes = c.length == 0 ? kReplacementCharacter : text.substr(0, c.length);
    text.remove_prefix(c.length == 0 ? 1 : c.length);
    // A run of breaks is one space between words, none at either end.
    if (c.length != 0 && BreaksOrSpaces(c.code)) {
      spaceDue = !plain.empty();
      continue;
    }
    if (c.length != 0 && (IsControl(c.code) || Invisible(c.code))) {
      continue;
    }
    if (characters + (spaceDue ? 1 : 0) + 1 > longest) {
      return plain + std::string(kEllipsis);
    }
    if (spaceDue && !plain.ends_with(' ')) {
      plain += ' ';
      ++characters;
    }
    spaceDue = false;
    plain += bytes;
    ++characters;
  }
  return plain;
}

}  // namespace tunelift
