#include "text/path_split.h"

namespace tunelift {

PathSplit SplitFolderAndName(std::string_view path, std::string_view separators) {
  const std::size_t last = path.find_last_of(separators);
  if (last == std::string_view::npos) {
    return {.folder = {}, .name = path, .hasFolder = false};
  }
  return {.folder = path.substr(0, last), .name = path.substr(last + 1), .hasFolder = true};
}

}  // namespace tunelift
