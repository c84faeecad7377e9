#pragma once
// What a started program's environment is on every platform, apart from the system calls:
// the tool's own variables, with those the caller adds in place of any of their names.

#include <string>
#include <string_view>
#include <vector>

#include "core/services.h"

namespace tunelift {

// Throws tunelift::Error (errnum::kInvalidCall) for a variable that no environment can hold:
// an empty name, "=" in a name, or NUL anywhere. `what` says what was being done.
void CheckEnvironmentVariables(const std::vector<EnvironmentVariable>& variables,
                               const std::string& what);

// The name of an environment entry "NAME=VALUE": the text before the first "=" that is not
// its first character (Windows keeps entries such as "=C:=C:\\music").
template <typename Char>
std::basic_string_view<Char> EntryName(std::basic_string_view<Char> entry) {
  const std::size_t equals = entry.find(Char('='), 1);
  return entry.substr(0, equals);
}

// `inherited` (entries "NAME=VALUE") without those whose name `added` (the same entries)
// holds, as `sameName` compares names, followed by `added`.
template <typename Char, typename SameName>
std::vector<std::basic_string<Char>> MergedEnvironment(
    const std::vector<std::basic_string<Char>>& inherited,
    const std::vector<std::basic_string<Char>>& added, SameName sameName) {
  using View = std::basic_string_view<Char>;
  std::vector<std::basic_string<Char>> merged;
  for (const auto& entry : inherited) {
    bool replaced = false;
    for (const auto& addition : added) {
      replaced = replaced || sameName(EntryName(View(entry)), EntryName(View(addition)));
    }
    if (!replaced) {
      merged.push_back(entry);
    }
  }
  merged.insert(merged.end(), added.begin(), added.end());
  return merged;
}

}  // namespace tunelift
