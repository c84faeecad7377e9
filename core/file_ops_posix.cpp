#include "file_ops_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "copy_meter.h"
#include "copy_steps_linux.h"
#include "file_deletion.h"
#include "kernel_copy_linux.h"
#include "no_follow_posix.h"
#include "posix_error.h"
#include "listing/listing.h"
#include "listing/wildcard.h"

namespace tunelift {
namespace {

namespace fs = std::filesystem;

// True when `name` in `folder` is the very file `source` is (not a link to it).
bool IsSameEntry(const NameInFolder& target, const struct stat& source) {
  struct stat info {};
  return fstatat(target.folder.get(), target.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         info.st_dev == source.st_dev && info.st_ino == source.st_ino;
}

// Copies everything from `in` to `out` in the steps of `steps`; returns 0, kCopyStopped or the
// errno of the failing call, so that a full disk is reported as such and not as a generic
// input/output error.
int CopyContent(int in, int out, std::uint64_t size, CopySteps& steps) {
  // The kernel's own copy first: no pass through this buffer, and a reflink where it can.
  const int kernelResult = KernelCopy(in, out, size, steps);
  if (kernelResult != kKernelCannotCopy) {
    return kernelResult;
  }
  std::vector<char> buffer(256 * 1024);
  while (true) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return got == 0 ? steps.Finish() : errno;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t written = write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (written < 0 && errno != EINTR) {
        return errno;
      }
      done += written > 0 ? written : 0;
    }
    const int stepped = steps.Wrote(static_cast<std::uint64_t>(got));
    if (stepped != 0) {
      return stepped;
    }
  }
}

// The names in the pattern's folder that match its last part, folders left out (a link to
// one is not a folder: it goes as a link).
std::vector<std::string> MatchingNames(const SplitPath& pattern) {
  try {
    // Deleting takes hidden files and links too: "delete all" leaves nothing behind, and a
    // link goes as a link.
    return ListMatching(pattern.folder, pattern.name,
                        {.entries = Entries::AllButFolders, .hidden = HiddenFiles::Take});
  } catch (const fs::filesystem_error& error) {
    if (error.code() == std::errc::no_such_file_or_directory) {
      // A missing folder is not the same as a folder with nothing matching.
      throw Error(errnum::kPathNotFound,
                  "Cannot read folder '" + pattern.folder + "': " + error.code().message());
    }
    throw SystemError("Cannot read folder '" + pattern.folder + "'", error.code().value());
  }
}

}  // namespace

void CopyFileSafely(const std::string& source, const std::string& destination,
                    const CopyOptions& options) {
  const std::string what = "Cannot copy '" + source + "' to '" + destination + "'";
  // Non-blocking, so that a pipe chosen by mistake is refused instead of waited on.
  Descriptor in(open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!in.valid() || fstat(in.get(), &info) != 0) {
    throw SystemError(what, errno);
  }
  if (!S_ISREG(info.st_mode)) {
    throw Error(errnum::kPathFileAccess, what + ": the source is not a file");
  }
  const NameInFolder target = OpenParentNoFollow(destination, what);
  if (IsSameEntry(target, info)) {
    return;
  }
  // Hidden, and without an extension that the list shows or the client uploads.
  ScratchFile scratch = CreateScratchFile(target.folder.get(), ".tunelift-copy-", 0600, what);
  CopyMeter meter(options, static_cast<std::uint64_t>(info.st_size));
  CopySteps steps(scratch.file.get(), meter);
  int error = meter.Begin() ? CopyContent(in.get(), scratch.file.get(),
                                          static_cast<std::uint64_t>(info.st_size), steps)
                            : kCopyStopped;
  if (error == 0 && fchmod(scratch.file.get(), (info.st_mode & 0777) | S_IRUSR | S_IWUSR) != 0) {
    error = errno;
  }
  // On disk before it takes the real name, so a crash cannot leave a short file there. One
  // data sync is all it takes: the size and the blocks go with the data.
  if (error == 0 && fdatasync(scratch.file.get()) != 0) {
    error = errno;
  }
  if (error == 0 && scratch.file.Close() != 0) {
    error = errno;
  }
  // The last moment a stop can still leave the destination as it was.
  if (error == 0 && meter.StopRequested()) {
    error = kCopyStopped;
  }
  // rename replaces a link of the destination's name itself, never the file it points to.
  if (error == 0 && renameat(target.folder.get(), scratch.name.c_str(), target.folder.get(),
                             target.name.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    unlinkat(target.folder.get(), scratch.name.c_str(), 0);
    throw error == kCopyStopped ? CopyStopped(what) : SystemError(what, error);
  }
}

void DeleteMatchingFiles(const std::string& pattern) {
  const std::string what = "Cannot delete '" + pattern + "'";
  // Names are read from the folder's path, but deleted only in the folder opened here: a
  // folder swapped for a link meanwhile loses nothing.
  const NameInFolder target = OpenParentNoFollow(pattern, what);
  const SplitPath split{target.folderPath, target.name};
  const std::vector<std::string> names =
      HasWildcard(split.name) ? MatchingNames(split) : std::vector<std::string>{split.name};
  // unlinkat removes a link as a link.
  DeleteEachMatch(pattern, names, [&](const std::string& name) -> std::optional<Error> {
    if (unlinkat(target.folder.get(), name.c_str(), 0) != 0) {
      return SystemError("Cannot delete '" + split.folder + "/" + name + "'", errno);
    }
    return std::nullopt;
  });
}

void DeleteOneFile(const std::string& path) {
  const std::string what = "Cannot delete '" + path + "'";
  const NameInFolder target = OpenParentNoFollow(path, what);
  if (unlinkat(target.folder.get(), target.name.c_str(), 0) != 0) {
    throw SystemError(what, errno);
  }
}

}  // namespace tunelift
