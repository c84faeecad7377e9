#include "file_deletion.h"

namespace tunelift {

void DeleteEachMatch(const std::string& pattern, const std::vector<std::string>& files,
                     const std::function<std::optional<Error>(const std::string&)>& deleteFile) {
  if (files.empty()) {
    throw Error(errnum::kFileNotFound, "Cannot delete '" + pattern + "': no file matches");
  }
  std::optional<Error> firstFailure;
  for (const std::string& file : files) {
    std::optional<Error> failure = deleteFile(file);
    if (failure && !firstFailure) {
      firstFailure = std::move(failure);
    }
  }
  if (firstFailure) {
    throw *firstFailure;
  }
}

}  // namespace tunelift
