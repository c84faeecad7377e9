#include "file_ops_posix.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "posix_error.h"
#include "wildcard.h"

namespace tunelift {
namespace {

namespace fs = std::filesystem;

struct SplitPattern {
  std::string folder;
  std::string name;
};

SplitPattern SplitAtLastSeparator(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return {".", path};
  }
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool IsSameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

// Owns one descriptor.
class Descriptor {
public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }

  bool valid() const { return fd_ >= 0; }
  int get() const { return fd_; }
  int Close() {
    int fd = fd_;
    fd_ = -1;
    return fd >= 0 ? close(fd) : 0;
  }

private:
  int fd_;
};

// Copies everything from `in` to `out`; returns 0 or the errno of the failing call, so that
// a full disk is reported as such and not as a generic input/output error.
int CopyContent(int in, int out) {
  std::vector<char> buffer(256 * 1024);
  while (true) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return got == 0 ? 0 : errno;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t written = write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (written < 0 && errno != EINTR) {
        return errno;
      }
      done += written > 0 ? written : 0;
    }
  }
}

std::vector<std::string> MatchingFiles(const SplitPattern& pattern) {
  std::error_code ec;
  fs::directory_iterator it(pattern.folder, ec);
  if (ec == std::errc::no_such_file_or_directory) {
    // A missing folder is not the same as a folder with nothing matching.
    throw Error(errnum::kPathNotFound, "Cannot read folder '" + pattern.folder +
                                           "': " + ec.message());
  }
  if (ec) {
    throw SystemError("Cannot read folder '" + pattern.folder + "'", ec.value());
  }
  std::vector<std::string> matches;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code statusError;
    bool isFolder = fs::is_directory(it->symlink_status(statusError));
    if (!isFolder && WildcardMatch(pattern.name, it->path().filename().string())) {
      matches.push_back(it->path().string());
    }
  }
  if (ec) {
    throw SystemError("Cannot read folder '" + pattern.folder + "'", ec.value());
  }
  return matches;
}

bool IsReadOnlyFile(const fs::directory_entry& entry) {
  std::error_code ec;
  fs::file_status status = entry.symlink_status(ec);
  return !ec && fs::is_regular_file(status) &&
         (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

}  // namespace

void CopyFileSafely(const std::string& source, const std::string& destination) {
  const std::string what = "Cannot copy '" + source + "' to '" + destination + "'";
  if (IsSameFile(source, destination)) {
    return;
  }
  // Non-blocking, so that a pipe chosen by mistake is refused instead of waited on.
  Descriptor in(open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!in.valid() || fstat(in.get(), &info) != 0) {
    throw SystemError(what, errno);
  }
  if (!S_ISREG(info.st_mode)) {
    throw Error(errnum::kPathFileAccess, what + ": the source is not a file");
  }
  // Hidden, and without an extension that the list shows or the client uploads.
  std::string scratchPath = SplitAtLastSeparator(destination).folder + "/.tunelift-copy-XXXXXX";
  Descriptor out(mkostemp(scratchPath.data(), O_CLOEXEC));
  if (!out.valid()) {
    throw SystemError(what, errno);
  }
  int error = CopyContent(in.get(), out.get());
  if (error == 0 && fchmod(out.get(), (info.st_mode & 07777) | S_IRUSR | S_IWUSR) != 0) {
    error = errno;
  }
  // On disk before it takes the real name, so a crash cannot leave a short file there.
  if (error == 0 && fsync(out.get()) != 0) {
    error = errno;
  }
  if (error == 0 && out.Close() != 0) {
    error = errno;
  }
  if (error == 0 && rename(scratchPath.c_str(), destination.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    unlink(scratchPath.c_str());
    throw SystemError(what, error);
  }
}

void DeleteMatchingFiles(const std::string& pattern) {
  SplitPattern split = SplitAtLastSeparator(pattern);
  std::vector<std::string> files;
  if (HasWildcard(split.name)) {
    files = MatchingFiles(split);
  } else {
    files.push_back(pattern);
  }
  if (files.empty()) {
    throw Error(errnum::kFileNotFound, "Cannot delete '" + pattern + "': no file matches");
  }
  std::optional<Error> firstFailure;
  for (const std::string& file : files) {
    if (unlink(file.c_str()) != 0 && !firstFailure) {
      firstFailure = SystemError("Cannot delete '" + file + "'", errno);
    }
  }
  if (firstFailure) {
    throw *firstFailure;
  }
}

void DeleteFolderTree(const std::string& path) {
  const std::string what = "Cannot delete folder '" + path + "'";
  std::error_code ec;
  fs::recursive_directory_iterator it(path, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (IsReadOnlyFile(*it)) {
      throw Error(errnum::kPermissionDenied,
                  what + ": '" + it->path().string() + "' is read-only");
    }
  }
  if (!ec) {
    fs::remove_all(path, ec);
  }
  if (ec) {
    throw SystemError(what, ec.value());
  }
}

}  // namespace tunelift
