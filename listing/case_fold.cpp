#include "listing/case_fold.h"

#include <cstdint>

#include "listing/system_names.h"

namespace tunelift {
namespace {

constexpr char32_t kEscapedByte = 0xDC00;  // lands on lone surrogates: never a real character

// The length of the UTF-8 sequence that `lead` starts, and the bits it carries; 0 for a
// byte that cannot start one.
int SequenceLength(std::uint8_t lead) {
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

// Decodes the sequence at `at` into `c`; false when it is not valid, shortest-form UTF-8
// of a character.
bool Decode(std::string_view text, std::size_t at, int length, char32_t& c) {
  if (at + static_cast<std::size_t>(length) > text.size()) {
    return false;
  }
  const auto lead = static_cast<std::uint8_t>(text[at]);
  c = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + static_cast<std::size_t>(i)]);
    if ((next & 0xC0) != 0x80) {
      return false;
    }
    c = (c << 6) | (next & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  return c >= kSmallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

std::u32string Characters(std::string_view text) {
  std::u32string characters;
  for (std::size_t at = 0; at < text.size();) {
    const int length = SequenceLength(static_cast<std::uint8_t>(text[at]));
    char32_t c = 0;
    if (length > 0 && Decode(text, at, length, c)) {
      characters.push_back(c);
      at += static_cast<std::size_t>(length);
    } else {
      characters.push_back(kEscapedByte + static_cast<std::uint8_t>(text[at]));
      ++at;
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
