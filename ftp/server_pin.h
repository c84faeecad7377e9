#pragma once
// The pinned server key and the host it belongs to (tunelift.ini's, else the build's): the one rule
// about encryption that does not depend on the transport. When a key is pinned for the host of a
// connection, that connection must be encrypted and the server must present that key, or nothing is
// sent, not even the user name. Every other connection is encrypted wherever the server offers it.

#include <string>
#include <string_view>

namespace tunelift::ftp {

struct ServerPin {
  // The settings' host; the key applies to it alone (whatever port, whatever case).
  std::string host;
  // The SHA-256 of its public key in libcurl's "sha256//BASE64" form, several joined by ";";
  // empty: none is pinned.
  std::string key;

  // The key a connection to `target` must present; empty when none is pinned for it.
  std::string KeyFor(std::string_view target) const;
};

}  // namespace tunelift::ftp
