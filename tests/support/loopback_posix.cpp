#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "tests/support/loopback.h"

namespace tunelift::test {

LoopbackPort::LoopbackPort(Behaviour behaviour) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  auto* generic = reinterpret_cast<sockaddr*>(&address);
  // Bound but not listening, a port refuses; listening with no one to accept, it stays mute.
  const bool ready = socket_ >= 0 && ::bind(socket_, generic, length) == 0 &&
                     ::getsockname(socket_, generic, &length) == 0 &&
                     (behaviour == Behaviour::Refusing || ::listen(socket_, 4) == 0);
  if (!ready) {
    const int reason = errno;
    ::close(socket_);
    throw std::system_error(reason, std::generic_category(), "holding a loopback port");
  }
  port_ = ntohs(address.sin_port);
}

LoopbackPort::~LoopbackPort() {
  ::close(socket_);
}

}  // namespace tunelift::test
