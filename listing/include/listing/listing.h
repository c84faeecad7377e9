#pragma once
// The files of a folder that match a wildcard, by one rule and in one order, for every part
// of the tool: the window lists them, the FTP client sends them, the core deletes them.
//
// Hidden files: a name that starts with a dot, or a file that the file system marks hidden
// (Windows' hidden and system attributes), is hidden. The list does not show hidden files and
// the client does not send them; deleting by wildcard takes them too, so that "delete all"
// leaves nothing behind.
// Order: by name without regard to case in every script (NameBefore).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tunelift {

// Which entries of a folder a listing takes.
enum class Entries {
  // Files that can be read: regular files, and links that lead to one.
  ReadableFiles,
  // Everything that is not a folder; a link counts as itself, whatever it leads to.
  AllButFolders,
};

enum class HiddenFiles { Leave, Take };

struct ListingRule {
  Entries entries = Entries::ReadableFiles;
  HiddenFiles hidden = HiddenFiles::Leave;
};

// True when the entry is hidden by the rule above.
bool IsHidden(const std::filesystem::directory_entry& entry);

// The names, UTF-8 and without folder, of the entries of `folder` that `rule` takes and whose
// names match `pattern` (WildcardMatch), in NameBefore order. An entry that vanishes while
// the folder is read is left out. Throws std::filesystem::filesystem_error when the folder
// cannot be read.
std::vector<std::string> ListMatching(const std::filesystem::path& folder, std::string_view pattern,
                                      const ListingRule& rule = {});

}  // namespace tunelift
