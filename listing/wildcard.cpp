#include "listing/wildcard.h"

#include <cstddef>
#include <string>

#include "case_fold.h"

namespace tunelift {

bool WildcardMatch(std::string_view patternText, std::string_view nameText) {
  if (patternText == "*.*") {
    return true;
  }
  const std::u32string pattern = FoldCase(patternText);
  const std::u32string name = FoldCase(nameText);
  // Greedy match with backtracking to the last star: linear in practice, no recursion.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starAt = std::u32string::npos;
  std::size_t resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == U'*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (starAt != std::u32string::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') {
    ++p;
  }
  return p == pattern.size();
}

bool HasWildcard(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

}  // namespace tunelift
