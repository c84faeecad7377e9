#include "text_stream_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

#include "no_follow_posix.h"
#include "posix_error.h"

namespace tunelift {
namespace {

class PosixTextStream : public TextStream {
public:
  PosixTextStream(std::string name, NameInFolder target, ScratchFile scratch, bool overwrite)
      : name_(std::move(name)),
        target_(std::move(target)),
        scratch_(std::move(scratch)),
        overwrite_(overwrite) {}
  ~PosixTextStream() override {
    if (!scratch_.name.empty()) {
      unlinkat(target_.folder.get(), scratch_.name.c_str(), 0);
    }
  }

  void WriteLine(const std::string& text) override {
    WriteAll(text);
    WriteAll("\r\n");
  }

  void Close() override {
    if (scratch_.name.empty()) {
      return;
    }
    const std::string what = "Cannot finish writing '" + name_ + "'";
    // On disk before it takes the name, so a crash cannot leave a short file there.
    if (fsync(scratch_.file.get()) != 0 || scratch_.file.Close() != 0) {
      throw SystemError(what, errno);
    }
    const int folder = target_.folder.get();
    // Without overwrite, link() refuses an existing name where rename would replace it.
    const int moved = overwrite_
                          ? renameat(folder, scratch_.name.c_str(), folder, target_.name.c_str())
                          : linkat(folder, scratch_.name.c_str(), folder, target_.name.c_str(), 0);
    if (moved != 0) {
      throw SystemError(what, errno);
    }
    if (!overwrite_) {
      unlinkat(folder, scratch_.name.c_str(), 0);
    }
    scratch_.name.clear();
  }

private:
  void WriteAll(std::string_view bytes) {
    if (!scratch_.file.valid()) {
      throw Error(errnum::kPathFileAccess, "Cannot write to '" + name_ + "': it is closed");
    }
    while (!bytes.empty()) {
      ssize_t written = write(scratch_.file.get(), bytes.data(), bytes.size());
      if (written < 0 && errno == EINTR) {
        continue;
      }
      if (written < 0) {
        throw SystemError("Cannot write to '" + name_ + "'", errno);
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  std::string name_;
  NameInFolder target_;
  ScratchFile scratch_;  // its name is cleared once it has become the file
  bool overwrite_;
};

}  // namespace

std::unique_ptr<TextStream> CreatePosixTextFile(const std::string& name,
                                                const TextFileOptions& options) {
  const std::string what = "Cannot create '" + name + "'";
  NameInFolder target = OpenParentNoFollow(name, what);
  struct stat existing {};
  const bool exists =
      fstatat(target.folder.get(), target.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    throw Error(errnum::kPathFileAccess, what + ": a folder of that name is in the way");
  }
  if (exists && !options.overwrite) {
    throw SystemError(what, EEXIST);
  }
  const mode_t mode = options.ownerOnly ? 0600 : 0666;
  ScratchFile scratch = CreateScratchFile(target.folder.get(), "." + target.name + "-", mode, what);
  // Exactly 0600, whatever the umask leaves: the owner must be able to replace it later.
  if (options.ownerOnly && fchmod(scratch.file.get(), 0600) != 0) {
    const int error = errno;
    unlinkat(target.folder.get(), scratch.name.c_str(), 0);
    throw SystemError("Cannot restrict access to '" + name + "'", error);
  }
  return std::make_unique<PosixTextStream>(name, std::move(target), std::move(scratch),
                                           options.overwrite);
}

}  // namespace tunelift
