// File-name wildcards (pattern NUL name): the matcher agrees with a plain table-driven one
// over characters (decoded by the C library, each letter in its upper case), ignores the case
// of ASCII letters, lets ? stand for one character, and takes "*.*" and "*" for every name.
#include <clocale>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "listing/wildcard.h"

namespace {

// A byte that is not part of valid UTF-8 stands for itself, apart from every character.
constexpr char32_t kLoneByte = 0x110000;

// The characters of `text` by the C library's own UTF-8 decoder, apart from the matcher's.
std::u32string Characters(std::string_view text) {
  std::u32string characters;
  while (!text.empty()) {
    std::mbstate_t state{};
    wchar_t code = 0;
    const std::size_t length = std::mbrtowc(&code, text.data(), text.size(), &state);
    // glibc also decodes the old forms beyond U+10FFFF, which UTF-8 no longer has (RFC 3629).
    const bool beyondUnicode = static_cast<std::uint32_t>(code) > 0x10FFFF;
    if (length == 0 || length > text.size() || beyondUnicode) {
      characters.push_back(kLoneByte + static_cast<unsigned char>(text.front()));
      text.remove_prefix(1);
      continue;
    }
    characters.push_back(static_cast<char32_t>(std::towupper(static_cast<wint_t>(code))));
    text.remove_prefix(length);
  }
  return characters;
}

// The textbook dynamic-programming match, slow but plainly right.
bool ReferenceMatch(const std::u32string& pattern, const std::u32string& name) {
  std::vector<std::vector<bool>> matches(pattern.size() + 1,
                                         std::vector<bool>(name.size() + 1, false));
  matches[0][0] = true;
  for (std::size_t p = 1; p <= pattern.size(); ++p) {
    for (std::size_t n = 0; n <= name.size(); ++n) {
      const char32_t c = pattern[p - 1];
      if (c == U'*') {
        matches[p][n] = matches[p - 1][n] || (n > 0 && matches[p][n - 1]);
      } else if (n > 0) {
        const bool same = c == U'?' || c == name[n - 1];
        matches[p][n] = same && matches[p - 1][n - 1];
      }
    }
  }
  return matches[pattern.size()][name.size()];
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tunelift;
  const std::vector<std::string_view> parts = fuzz::SplitAtNul(fuzz::AsText(data, size));
  const std::string_view pattern = parts[0];
  const std::string_view name = parts.size() > 1 ? parts[1] : std::string_view();
  if (pattern.size() > 256 || name.size() > 256) {
    return 0;  // the reference is quadratic
  }
  const std::u32string nameCharacters = Characters(name);
  const bool matched = WildcardMatch(pattern, name);
  const bool expected = pattern == "*.*" || ReferenceMatch(Characters(pattern), nameCharacters);
  fuzz::Check(matched == expected, "agrees with the reference match");
  std::string upper(name);
  for (char& c : upper) {
    c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  fuzz::Check(WildcardMatch(pattern, upper) == matched, "letters match without regard to case");
  fuzz::Check(WildcardMatch(std::string(nameCharacters.size(), '?'), name),
              "? stands for one character");
  fuzz::Check(WildcardMatch("*", name) && WildcardMatch("*.*", name), "* and *.* match all");
  return 0;
}
