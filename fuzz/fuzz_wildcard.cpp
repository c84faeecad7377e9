// File-name wildcards (pattern NUL name): the matcher agrees with a plain table-driven one,
// ignores the case of ASCII letters, and takes "*.*" and "*" for every name.
#include <string>
#include <vector>

#include "core/wildcard.h"
#include "fuzz_check.h"

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The textbook dynamic-programming match, slow but plainly right.
bool ReferenceMatch(std::string_view pattern, std::string_view name) {
  std::vector<std::vector<bool>> matches(pattern.size() + 1,
                                         std::vector<bool>(name.size() + 1, false));
  matches[0][0] = true;
  for (std::size_t p = 1; p <= pattern.size(); ++p) {
    for (std::size_t n = 0; n <= name.size(); ++n) {
      const char c = pattern[p - 1];
      if (c == '*') {
        matches[p][n] = matches[p - 1][n] || (n > 0 && matches[p][n - 1]);
      } else if (n > 0) {
        const bool same = c == '?' || Fold(c) == Fold(name[n - 1]);
        matches[p][n] = same && matches[p - 1][n - 1];
      }
    }
  }
  return matches[pattern.size()][name.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tunelift;
  const std::vector<std::string_view> parts = fuzz::SplitAtNul(fuzz::AsText(data, size));
  const std::string_view pattern = parts[0];
  const std::string_view name = parts.size() > 1 ? parts[1] : std::string_view();
  if (pattern.size() > 256 || name.size() > 256) {
    return 0;  // the reference is quadratic
  }
  const bool matched = WildcardMatch(pattern, name);
  const bool expected = pattern == "*.*" || ReferenceMatch(pattern, name);
  fuzz::Check(matched == expected, "agrees with the reference match");
  std::string upper(name);
  for (char& c : upper) {
    c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  fuzz::Check(WildcardMatch(pattern, upper) == matched, "letters match without regard to case");
  fuzz::Check(WildcardMatch("*", name) && WildcardMatch("*.*", name), "* and *.* match all");
  return 0;
}
