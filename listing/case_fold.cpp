#include "case_fold.h"

#include <cstdint>

#include "system_names.h"
#include "text/utf8.h"

namespace tunelift {
namespace {

constexpr char32_t kEscapedByte = 0xDC00;  // lands on lone surrogates: never a real character

std::u32string Characters(std::string_view text) {
  std::u32string characters;
  while (!text.empty()) {
    const Utf8Char c = DecodeUtf8(text);
    if (c.length == 0) {
      characters.push_back(kEscapedByte + static_cast<std::uint8_t>(text[0]));
      text.remove_prefix(1);
    } else {
      characters.push_back(c.code);
      text.remove_prefix(c.length);
    }
  }
  return characters;
}

}  // namespace

std::u32string FoldCase(std::string_view name) {
  return system_names::UpperCase(Characters(name));
}

bool NameBefore(std::string_view a, std::string_view b) {
  const std::u32string foldedA = FoldCase(a);
  const std::u32string foldedB = FoldCase(b);
  return foldedA != foldedB ? foldedA < foldedB : a < b;
}

}  // namespace tunelift
