#pragma once
// The key an FTP server presents, read as the README tells whoever builds for a real server.

#include <string>

namespace tunelift::test {

// The pin of the public key that the FTP server at 127.0.0.1:`port` presents after AUTH TLS,
// in libcurl's "sha256//BASE64" form, read with the README's openssl command. Throws
// std::system_error when it reads none.
std::string ServerKeyPin(int port);

}  // namespace tunelift::test
