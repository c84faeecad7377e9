#pragma once
// The file operations that need more than one system call on POSIX. None writes or deletes
// through a symbolic link (see no_follow_posix.h).

#include <string>

#include "core/services.h"

namespace tunelift {

// Copies through a hidden file beside the destination and renames it into place, so a copy
// that fails part way leaves no partial file under the real name and keeps an older one.
// Copying a file onto itself changes nothing. The copy is writable by its owner, so that it
// can be deleted again. A link under the destination's name is replaced by the copy; a
// destination folder that is a link is refused. It goes in steps that `options` hears of and
// may stop (services.h); a stopped copy leaves no scratch file either.
void CopyFileSafely(const std::string& source, const std::string& destination,
                    const CopyOptions& options = {});

// Deletes the files (not folders) in the pattern's folder whose names match its last part
// without regard to case; a link goes as a link. Without wildcards the name is taken
// literally. Fails with file-not-found when nothing matches; a file that cannot be deleted
// does not stop the others, and the first such failure is raised at the end.
void DeleteMatchingFiles(const std::string& pattern);

// Deletes exactly the file (or link) at `path`.
void DeleteOneFile(const std::string& path);

}  // namespace tunelift
