#pragma once
// Loopback ports for tests of connections that fail. Failures throw std::system_error.

namespace tunelift::test {

// A port on 127.0.0.1, held for as long as the object lives.
class LoopbackPort {
public:
  enum class Behaviour {
    Refusing,  // every connection is refused at once
    Silent,    // the system accepts connections, but nobody ever answers
  };

  explicit LoopbackPort(Behaviour behaviour);
  ~LoopbackPort();
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;

  int port() const { return port_; }

private:
  int socket_ = -1;
  int port_ = 0;
};

}  // namespace tunelift::test
