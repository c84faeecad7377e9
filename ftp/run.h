#pragma once
// The whole client as one call: arguments in, exit status out. main only gathers what the
// process was given and passes it here; tests call it with streams of their own.

#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "ftp/server_pin.h"

namespace tunelift::ftp {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // a connection, the login or any file failed
inline constexpr int kExitUsage = 2;    // the arguments were not understood

struct RunEnvironment {
  // The value of TUNELIFT_FTP_CONNECT_TO (see CurlTransportOptions::connectTo).
  std::string connectTo;
  // The build's server and its pinned key (TUNELIFT_FTP_HOST, TUNELIFT_FTP_PINNED_KEY).
  ServerPin pin = {};
  bool inputIsTerminal = false;
  bool outputIsTerminal = false;
  std::filesystem::path currentFolder;
};

// Runs the client on `arguments` (the program name left out): commands from the script file
// or `in`, the transcript to `out`, the usage text to `err`. Needs a live CurlLibrary.
int Run(std::span<const std::string_view> arguments, const RunEnvironment& environment,
        std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace tunelift::ftp
