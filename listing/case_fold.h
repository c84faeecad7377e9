#pragma once
// Names compared without regard to case, as the Windows file system compares them: each
// letter is taken in its upper case, for every script, not only for ASCII.

#include <string>
#include <string_view>

namespace tunelift {

// The characters of the UTF-8 text `name`, each in its upper case. A byte that is not part
// of valid UTF-8 stands for itself (as U+DC00 + byte), so no two different names that
// differ in more than case fold alike.
std::u32string FoldCase(std::string_view name);

// True when `a` comes before `b` in the order a folder lists its names: by their folded
// characters first, then, for names that differ only in case, by their bytes.
bool NameBefore(std::string_view a, std::string_view b);

}  // namespace tunelift
