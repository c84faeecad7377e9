#include "ftp/local_files.h"

#include <algorithm>
#include <utility>

#include "core/wildcard.h"
#include "ftp/command.h"

namespace tunelift::ftp {

std::filesystem::path LocalPath(std::string_view text) {
  std::string portable(text);
  std::replace(portable.begin(), portable.end(), '\\', '/');
  return std::filesystem::path(portable);
}

std::string_view FolderPart(std::string_view pattern) {
  const std::size_t separator = pattern.find_last_of("\\/");
  return separator == std::string_view::npos ? std::string_view() : pattern.substr(0, separator + 1);
}

std::vector<std::filesystem::path> MatchLocalFiles(const std::filesystem::path& base,
                                                   std::string_view pattern) {
  const std::filesystem::path folder = base / LocalPath(FolderPart(pattern));
  const std::string_view namePattern = pattern.substr(FolderPart(pattern).size());
  std::vector<std::filesystem::path> matches;
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file() && WildcardMatch(namePattern, entry.path().filename().string())) {
      matches.push_back(entry.path());
    }
  }
  // Name order as a Windows folder lists it: letters without regard to case.
  const auto key = [](const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    return std::pair(Lowercase(name), name);
  };
  std::sort(matches.begin(), matches.end(),
            [&key](const auto& left, const auto& right) { return key(left) < key(right); });
  return matches;
}

}  // namespace tunelift::ftp
