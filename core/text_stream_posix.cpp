#include "text_stream_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

#include "posix_error.h"

namespace tunelift {
namespace {

class PosixTextStream : public TextStream {
public:
  PosixTextStream(std::string name, int fd) : name_(std::move(name)), fd_(fd) {}
  ~PosixTextStream() override {
    if (fd_ >= 0) {
      close(fd_);
    }
  }

  void WriteLine(const std::string& text) override {
    WriteAll(text);
    WriteAll("\r\n");
  }

  void Close() override {
    int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && close(fd) != 0) {
      throw SystemError("Cannot finish writing '" + name_ + "'", errno);
    }
  }

private:
  void WriteAll(std::string_view bytes) {
    if (fd_ < 0) {
      throw Error(errnum::kPathFileAccess, "Cannot write to '" + name_ + "': it is closed");
    }
    while (!bytes.empty()) {
      ssize_t written = write(fd_, bytes.data(), bytes.size());
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
  int fd_;
};

}  // namespace

std::unique_ptr<TextStream> CreatePosixTextFile(const std::string& name,
                                                const TextFileOptions& options) {
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  if (!options.overwrite) {
    flags |= O_EXCL;
  }
  const mode_t mode = options.ownerOnly ? 0600 : 0666;
  int fd = open(name.c_str(), flags, mode);
  if (fd < 0) {
    throw SystemError("Cannot create '" + name + "'", errno);
  }
  // An existing file keeps its mode through O_TRUNC: narrow it while it is still empty.
  if (options.ownerOnly && fchmod(fd, 0600) != 0) {
    int error = errno;
    close(fd);
    throw SystemError("Cannot restrict access to '" + name + "'", error);
  }
  return std::make_unique<PosixTextStream>(name, fd);
}

}  // namespace tunelift
