#pragma once
// An owner for one POSIX descriptor.

#include <unistd.h>

namespace tunelift {

class Descriptor {
public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }

  bool valid() const { return fd_ >= 0; }
  int get() const { return fd_; }
  // Closes now; returns close's result, so that a write that failed late is not missed.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 ? close(fd) : 0;
  }

private:
  int fd_;
};

}  // namespace tunelift
