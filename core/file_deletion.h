#pragma once
// What deleting by wildcard promises on every platform, apart from the call that deletes.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/error.h"

namespace tunelift {

// Deletes each of `files`, the files that `pattern` matched, with `deleteFile`, which returns
// the failure of one deletion or nothing. Fails with file-not-found when `files` is empty; a
// file that cannot be deleted does not stop the others, and the first failure is raised at
// the end.
void DeleteEachMatch(const std::string& pattern, const std::vector<std::string>& files,
                     const std::function<std::optional<Error>(const std::string&)>& deleteFile);

}  // namespace tunelift
