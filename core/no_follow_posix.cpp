#include "no_follow_posix.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <random>

#include "posix_error.h"
#include "text/path_split.h"

namespace tunelift {
namespace {

bool IsLink(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::string RandomSuffix() {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    suffix.push_back(kLetters[pick(random)]);
  }
  return suffix;
}

}  // namespace

SplitPath SplitAtLastSeparator(const std::string& path) {
  const PathSplit split = SplitFolderAndName(path, "/");
  if (!split.hasFolder) {
    return {".", path};
  }
  return {split.folder.empty() ? "/" : std::string(split.folder), std::string(split.name)};
}

Error LinkRefused(const std::string& what, const std::string& link) {
  return Error(errnum::kPathFileAccess, what + ": '" + link +
                                            "' is a symbolic link, and Tunelift writes and "
                                            "deletes nothing through a link");
}

Descriptor OpenFolderNoFollow(const std::string& path, const std::string& what) {
  Descriptor folder(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (folder.valid()) {
    return folder;
  }
  const int error = errno;
  // O_NOFOLLOW answers a link with ENOTDIR or ELOOP, which would name the wrong cause.
  if ((error == ENOTDIR || error == ELOOP) && IsLink(path)) {
    throw LinkRefused(what, path);
  }
  if (error == ENOENT) {
    throw Error(errnum::kPathNotFound, what + ": folder '" + path + "' does not exist");
  }
  throw SystemError(what, error);
}

NameInFolder OpenParentNoFollow(const std::string& path, const std::string& what) {
  SplitPath split = SplitAtLastSeparator(path);
  Descriptor folder = OpenFolderNoFollow(split.folder, what);
  return {std::move(folder), std::move(split.folder), std::move(split.name)};
}

ScratchFile CreateScratchFile(int folder, std::string_view prefix, mode_t mode,
                              const std::string& what) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = std::string(prefix) + RandomSuffix();
    Descriptor file(
        openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (file.valid()) {
      return {std::move(file), std::move(name)};
    }
    if (errno != EEXIST) {
      throw SystemError(what, errno);
    }
  }
  throw SystemError(what, EEXIST);
}

}  // namespace tunelift
