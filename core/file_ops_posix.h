#pragma once
// The file operations that need more than one system call on POSIX.

#include <string>

namespace tunelift {

// Copies through a hidden file beside the destination and renames it into place, so a copy
// that fails part way leaves no partial file under the real name and keeps an older one.
// Copying a file onto itself changes nothing. The copy is writable by its owner, so that it
// can be deleted again.
void CopyFileSafely(const std::string& source, const std::string& destination);

// Deletes the files (not folders) in the pattern's folder whose names match its last part
// without regard to case. Without wildcards the name is taken literally. Fails with
// file-not-found when nothing matches; a file that cannot be deleted does not stop the
// others, and the first such failure is raised at the end.
void DeleteMatchingFiles(const std::string& pattern);

// Deletes the folder and everything in it, unless it holds a file its owner may not write:
// then nothing is deleted and the error names that file.
void DeleteFolderTree(const std::string& path);

}  // namespace tunelift
