#pragma once
// File-name wildcards as the tool's users know them from Windows.

#include <string_view>

namespace tunelift {

// True when `name` matches `pattern`, where * stands for any run of characters and ? for
// exactly one character (not one byte); letters compare without regard to case, in every
// script (FoldCase). As on Windows, "*.*" matches every name, with or without a dot. Only
// the name itself counts: a short 8.3 alias of it never widens a match.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// True when `text` holds * or ?.
bool HasWildcard(std::string_view text);

}  // namespace tunelift
