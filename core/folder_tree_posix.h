#pragma once
// Deleting a folder with everything in it, all or nothing, on POSIX.

#include <string>

namespace tunelift {

// Deletes the folder and everything in it, or nothing at all: before anything goes, the whole
// tree is checked for what would stop the deletion part way, and the first such thing found
// is raised, naming it:
//  - a file its owner may not write (read-only, as the tool's users know it);
//  - a folder that cannot be read, or that holds something but cannot be written;
//  - in a folder that keeps others' files (the sticky bit), an entry the user owns neither;
//  - an entry marked immutable or append-only, or a folder that is another file system's root;
//  - folders nested deeper than kMaxFolderDepth.
// Links are never followed: a link inside goes as a link, and `path` being a link deletes only
// the link. What changes between the check and the deletion can still stop it part way.
void DeleteFolderTree(const std::string& path);

inline constexpr int kMaxFolderDepth = 128;

}  // namespace tunelift
