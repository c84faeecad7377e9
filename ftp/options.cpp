#include "options.h"

#include "text/utf8_path.h"

namespace tunelift::ftp {
namespace {

// Applies one option to `config`; false when the option is not one the client knows.
bool ApplyOption(std::string_view option, Config& config) {
  constexpr std::string_view kScript = "-s:";
  if (option.starts_with(kScript) && option.size() > kScript.size()) {
    config.scriptFile = PathFromUtf8(option.substr(kScript.size()));
    return true;
  }
  if (option == "-n") {
    config.autoLogin = false;
  } else if (option == "-i") {
    config.prompting = false;
  } else if (option == "-v") {
    config.showReplies = false;
  } else if (option == "-d") {
    config.showCommands = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::optional<Config> ParseArguments(std::span<const std::string_view> arguments) {
  Config config;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    const bool last = i + 1 == arguments.size();
    if (argument.starts_with('-')) {
      if (!ApplyOption(argument, config)) {
        return std::nullopt;
      }
    } else if (last && !argument.empty()) {
      config.host = std::string(argument);
    } else {
      return std::nullopt;  // a host is only ever the last argument
    }
  }
  return config;
}

std::string_view UsageText() {
  return "Sends files to an FTP server, reading commands as the Windows ftp client does.\n"
         "\n"
         "ftp.exe [-v] [-d] [-i] [-n] [-s:filename] [host]\n"
         "\n"
         "  -v           Leaves the server's replies out of the transcript.\n"
         "  -n           Does not log in upon \"open\": use the user command.\n"
         "  -i           Sends every file of mput without asking.\n"
         "  -d           Shows the commands sent to the server (never the password).\n"
         "  -s:filename  Reads the commands from filename instead of standard input.\n"
         "  host         Opens a connection to host before the first command.\n"
         "\n"
         "TUNELIFT_FTP_CONNECT_TO=HOST:PORT:CONNECT-HOST:CONNECT-PORT sends connections\n"
         "for HOST:PORT to CONNECT-HOST:CONNECT-PORT instead (to try out a local server).\n";
}

}  // namespace tunelift::ftp
