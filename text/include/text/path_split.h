#pragma once
// A path's folder and name, split at its last separator: the one place that splits a path.
// Each caller says which characters separate ("/" on POSIX, "\\/" where Windows takes both)
// and what an absent or empty folder means to it.

#include <string_view>

namespace tunelift {

struct PathSplit {
  std::string_view folder;  // everything before the last separator, without it
  std::string_view name;    // everything after it: the whole path when it has no separator
  bool hasFolder = false;   // whether the path holds a separator at all
};

// `path` split at its last character that is one of `separators`. The parts view `path`,
// which must outlive them.
PathSplit SplitFolderAndName(std::string_view path, std::string_view separators);

}  // namespace tunelift
