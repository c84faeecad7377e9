#pragma once
// Paths as UTF-8 text and back. Names are UTF-8 everywhere in the tool; a path's own
// string() is in the system's narrow code page on Windows, which cannot hold every name.

#include <filesystem>
#include <string>
#include <string_view>

namespace tunelift {

std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace tunelift
