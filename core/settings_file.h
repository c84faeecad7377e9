#pragma once
// Reading the settings file whole, with the platform's own calls, so that a failure carries
// the system's reason (settings_file_posix.cpp, settings_file_win32.cpp).

#include <optional>
#include <string>

namespace tunelift {

// The bytes of the file at `path` (UTF-8 text); of a file larger than `limit`, more than
// `limit` of them but not necessarily all. None when nothing has that name. Throws tunelift::Error
// when something of that name is not a file (a folder) or cannot be read, naming the path.
std::optional<std::string> ReadSettingsFile(const std::string& path, std::size_t limit);

// How a failure to read the settings file at `path` begins, on every platform.
inline std::string CannotReadSettings(const std::string& path) {
  return "Cannot read the settings file '" + path + "'";
}

}  // namespace tunelift
