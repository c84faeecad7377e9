#include "local_files.h"

#include <algorithm>

#include "listing/listing.h"
#include "text/path_split.h"
#include "text/utf8_path.h"

namespace tunelift::ftp {

std::filesystem::path LocalPath(std::string_view text) {
  std::string portable(text);
  std::replace(portable.begin(), portable.end(), '\\', '/');
  return PathFromUtf8(portable).make_preferred();
}

std::string_view FolderPart(std::string_view pattern) {
  const PathSplit split = SplitFolderAndName(pattern, "\\/");
  return split.hasFolder ? pattern.substr(0, split.folder.size() + 1) : std::string_view();
}

std::vector<std::filesystem::path> MatchLocalFiles(const std::filesystem::path& base,
                                                   std::string_view pattern) {
  const std::filesystem::path folder = base / LocalPath(FolderPart(pattern));
  const std::string_view namePattern = pattern.substr(FolderPart(pattern).size());
  std::vector<std::filesystem::path> matches;
  for (const std::string& name : ListMatching(folder, namePattern)) {
    matches.push_back(folder / PathFromUtf8(name));
  }
  return matches;
}

LocalStamp StampOf(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) {
    return {};
  }
  const std::filesystem::file_time_type changed = std::filesystem::last_write_time(file, error);
  return {.size = static_cast<std::int64_t>(size),
          .changed = error ? decltype(changed){} : changed};
}

}  // namespace tunelift::ftp
