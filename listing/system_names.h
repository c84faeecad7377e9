#pragma once
// What the system itself says about names (one side per platform: system_names_*.cpp).

#include <filesystem>
#include <string>

namespace tunelift::system_names {

// `text` with every letter in its upper case by the system's own Unicode tables; characters
// without an upper case stay as they are.
std::u32string UpperCase(std::u32string text);

// True when the file system marks `path` hidden by an attribute of its own (Windows' hidden
// and system attributes); false where there is no such attribute or it cannot be read.
bool HasHiddenAttribute(const std::filesystem::path& path);

}  // namespace tunelift::system_names
