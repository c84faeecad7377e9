#pragma once
// The whole client as one call: arguments in, exit status out. main only gathers what the
// process was given and passes it here; tests call it with streams of their own.

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "server_pin.h"
#include "transport.h"

namespace tunelift::ftp {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // a connection, the login or any file failed
inline constexpr int kExitUsage = 2;    // the arguments were not understood

struct RunEnvironment {
  // The server and its pinned key: tunelift.ini's host and pinned_key, else the build's
  // (TUNELIFT_FTP_HOST, TUNELIFT_FTP_PINNED_KEY).
  ServerPin pin = {};
  bool inputIsTerminal = false;
  bool outputIsTerminal = false;
  std::filesystem::path currentFolder;
  // Where the report of the run goes (TUNELIFT_FTP_REPORT); empty: nowhere.
  std::filesystem::path reportPath = {};
  // The waits before each new connection after a drop (TUNELIFT_FTP_RETRY_WAITS); empty:
  // the client's own.
  std::vector<std::chrono::milliseconds> reconnectWaits = {};
  // How many connections an mput may use at once (TUNELIFT_FTP_CONNECTIONS; ftp.exe's own
  // is kDefaultConnections). 1: every file goes over the session's own connection.
  std::size_t connections = 1;
  // Why the server settings beside the program (tunelift.ini) cannot be used; then the
  // client says so, in its report too, and connects nowhere.
  std::optional<std::string> settingsFailure = std::nullopt;
};

// ftp.exe's connections for an mput, measured on a slow link (README: "Performance"): more
// than this gains little and asks more of the server.
inline constexpr std::size_t kDefaultConnections = 4;
inline constexpr std::size_t kMostConnections = 4;

// TUNELIFT_FTP_CONNECTIONS's value, a whole number from 1 to kMostConnections; nullopt when
// it is not that.
std::optional<std::size_t> ParseConnections(std::string_view text);

// TUNELIFT_FTP_RETRY_WAITS's value, seconds separated by commas ("2,5,10"); nullopt when it
// is not that.
std::optional<std::vector<std::chrono::milliseconds>> ParseWaits(std::string_view text);

// Runs the client on `arguments` (the program name left out, UTF-8): commands from the script
// file or `in`, over a transport from `makeTransport`, the transcript to `out`, the usage text
// to `err`.
int Run(std::span<const std::string_view> arguments, const RunEnvironment& environment,
        const TransportMaker& makeTransport, std::istream& in, std::ostream& out,
        std::ostream& err);

}  // namespace tunelift::ftp
