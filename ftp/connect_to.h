#pragma once
// TUNELIFT_FTP_CONNECT_TO for transports that cannot take it as it is: the form is libcurl's,
// HOST:PORT:CONNECT-HOST:CONNECT-PORT, where an empty HOST or PORT matches any.

#include <optional>
#include <string>
#include <string_view>

namespace tunelift::ftp {

struct Address {
  std::string host;
  int port = 21;

  bool operator==(const Address&) const = default;
};

struct ConnectTo {
  std::string host;         // empty: any host
  std::optional<int> port;  // none: any port
  Address to;
};

// The redirection `text` names; nullopt for empty text or text not of that form.
std::optional<ConnectTo> ParseConnectTo(std::string_view text);

// Where a connection for `wanted` goes under `rule` (letters of host names compare without
// regard to case).
Address Redirected(const std::optional<ConnectTo>& rule, const Address& wanted);

}  // namespace tunelift::ftp
