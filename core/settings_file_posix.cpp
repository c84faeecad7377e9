#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "descriptor_posix.h"
#include "core/error.h"
#include "posix_error.h"
#include "settings_file.h"

namespace tunelift {
std::optional<std::string> ReadSettingsFile(const std::string& path, std::size_t limit) {
  // Non-blocking, so that a FIFO of that name cannot hold the start; it is refused below.
  const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file.valid()) {
    if (errno == ENOENT) {
      return std::nullopt;
    }
    throw SystemError(CannotReadSettings(path), errno);
  }
  struct stat status {};
  if (fstat(file.get(), &status) != 0) {
    throw SystemError(CannotReadSettings(path), errno);
  }
  if (!S_ISREG(status.st_mode)) {
    throw Error(
        errnum::kPathFileAccess,
        CannotReadSettings(path) + (S_ISDIR(status.st_mode) ? ": it is a folder, not a file."
                                                            : ": it is not a regular file."));
  }
  std::string text;
  char chunk[16 * 1024];
  while (text.size() <= limit) {
    const ssize_t got = read(file.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      throw SystemError(CannotReadSettings(path), errno);
    }
    if (got == 0) {
      break;
    }
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return text;
}

}  // namespace tunelift
