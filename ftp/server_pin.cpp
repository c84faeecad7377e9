#include "server_pin.h"

#include "command.h"

namespace tunelift::ftp {
namespace {

// A host name as DNS compares it: without regard to case, and "name." is "name".
std::string Canonical(std::string_view host) {
  if (host.ends_with('.')) {
    host.remove_suffix(1);
  }
  return Lowercase(host);
}

}  // namespace

std::string ServerPin::KeyFor(std::string_view target) const {
  if (key.empty() || Canonical(target) != Canonical(host)) {
    return {};
  }
  return key;
}

}  // namespace tunelift::ftp
