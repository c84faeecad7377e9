#include "connect_to.h"

#include <charconv>
#include <vector>

#include "command.h"

namespace tunelift::ftp {
namespace {

std::optional<int> ParsePort(std::string_view text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  const bool valid = error == std::errc() && end == text.data() + text.size();
  return valid && port > 0 && port < 65536 ? std::optional<int>(port) : std::nullopt;
}

}  // namespace

std::optional<ConnectTo> ParseConnectTo(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t colon = text.find(':'); colon != std::string_view::npos;
       colon = text.find(':')) {
    parts.push_back(text.substr(0, colon));
    text.remove_prefix(colon + 1);
  }
  parts.push_back(text);
  if (parts.size() != 4 || parts[2].empty()) {
    return std::nullopt;
  }
  const std::optional<int> port = parts[1].empty() ? std::nullopt : ParsePort(parts[1]);
  const std::optional<int> toPort = ParsePort(parts[3]);
  if ((!parts[1].empty() && !port) || !toPort) {
    return std::nullopt;
  }
  return ConnectTo{.host = std::string(parts[0]),
                   .port = port,
                   .to = {.host = std::string(parts[2]), .port = *toPort}};
}

Address Redirected(const std::optional<ConnectTo>& rule, const Address& wanted) {
  if (!rule) {
    return wanted;
  }
  const bool hostMatches = rule->host.empty() || Lowercase(rule->host) == Lowercase(wanted.host);
  const bool portMatches = !rule->port || *rule->port == wanted.port;
  return hostMatches && portMatches ? rule->to : wanted;
}

}  // namespace tunelift::ftp
