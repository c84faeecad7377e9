#pragma once
// The file operations that need more than one Win32 call. Paths are UTF-8 text in Windows
// form ("\" between folders); a link (a symbolic link or a junction) is never written or
// deleted through: it is replaced or removed as a link.

#include <string>
#include <string_view>

#include "core/services.h"

namespace tunelift {

// A name for a scratch file in the folder of `path`, hidden (leading dot) and without an
// extension that the list shows or the client sends; `purpose` says whose it is.
std::string ScratchPathBeside(const std::string& path, std::string_view purpose);

// The folder part of `path`: everything before its last "\" or "/" ("." when there is none,
// the root itself for "C:\name").
std::string FolderOf(const std::string& path);

// Copies through a scratch file beside the destination and moves it into place, so that a
// copy that fails part way leaves no partial file under the real name and keeps an older
// one. Copying a file onto itself changes nothing. The copy is neither read-only nor hidden,
// so that it shows in the list and can be deleted again. It goes in steps that `options` hears
// of and may stop (services.h); a stopped copy leaves no scratch file either.
void CopyFileSafely(const std::string& source, const std::string& destination,
                    const CopyOptions& options = {});

// Deletes the files (not folders) in the pattern's folder whose names match its last part by
// the tool's listing rule; 8.3 short names play no part. Without wildcards the name is taken
// literally. Fails with file-not-found when nothing matches; a file that cannot be deleted
// does not stop the others, and the first such failure is raised at the end.
void DeleteMatchingFiles(const std::string& pattern);

// Deletes the folder and everything in it, unless it holds a read-only file: then nothing
// is deleted and the error names that file. A link inside, or the folder itself when it is
// a link, is removed as a link; what it leads to stays.
void DeleteFolderTree(const std::string& path);

}  // namespace tunelift
