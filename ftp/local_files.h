#pragma once
// Local names as the script writes them: "\" and "/" both separate folders, and the last part
// of an mput name may hold the wildcards * and ?.

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

}  // namespace tunelift::ftp
