#pragma once
// Local names as the script writes them: "\" and "/" both separate folders, and the last part
// of an mput name may hold the wildcards * and ?.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tunelift::ftp {

// `text` as a path of this system: every "\" read as a folder separator.
std::filesystem::path LocalPath(std::string_view text);

// `pattern` up to and with its last separator ("temp\" of "temp\*.mp3"); empty when it has
// none. Prompts name each file by this and the file's own name.
std::string_view FolderPart(std::string_view pattern);

// The files in the folder of `pattern` (relative to `base` unless absolute) whose names match
// its last part, by the tool's one listing rule: readable files, hidden ones left out, in
// name order without regard to case.
// Throws std::filesystem::filesystem_error when that folder cannot be read.
std::vector<std::filesystem::path> MatchLocalFiles(const std::filesystem::path& base,
                                                   std::string_view pattern);

// A file's size and the time of its last change: two different stamps of one file mean it
// changed in between. Size -1 when the file cannot be read.
struct LocalStamp {
  std::int64_t size = -1;
  std::filesystem::file_time_type changed{};
  bool operator==(const LocalStamp&) const = default;
};
LocalStamp StampOf(const std::filesystem::path& file);
inline std::int64_t LocalSize(const std::filesystem::path& file) {
  return StampOf(file).size;
}

}  // namespace tunelift::ftp
