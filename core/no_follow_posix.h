#pragma once
// Reaching the files the tool writes or deletes without ever following a symbolic link: a
// link where the tool writes is replaced, a link where it deletes is deleted as a link, and a
// folder reached only through a link is neither written into nor emptied. Failures throw
// tunelift::Error.

#include <sys/types.h>

#include <string>
#include <string_view>

#include "descriptor_posix.h"
#include "core/error.h"

namespace tunelift {

// `path` split at its last "/": the folder ("." when there is none) and the name after it.
struct SplitPath {
  std::string folder;
  std::string name;
};
SplitPath SplitAtLastSeparator(const std::string& path);

// The error for a symbolic link met where the tool would write or delete: `what` says what
// was being done, `link` is the link's path.
Error LinkRefused(const std::string& what, const std::string& link);

// Opens the folder `path` for work inside it. A link in its place is refused, as is a
// missing folder (kPathNotFound).
Descriptor OpenFolderNoFollow(const std::string& path, const std::string& what);

// The folder holding `path`, opened as OpenFolderNoFollow does, and the name within it.
struct NameInFolder {
  Descriptor folder;
  std::string folderPath;
  std::string name;
};
NameInFolder OpenParentNoFollow(const std::string& path, const std::string& what);

// A new file in `folder` under a fresh name: `prefix` and six random characters. It is
// created exclusively, so nothing of that name, link or not, is ever opened.
struct ScratchFile {
  Descriptor file;
  std::string name;
};
ScratchFile CreateScratchFile(int folder, std::string_view prefix, mode_t mode,
                              const std::string& what);

}  // namespace tunelift
