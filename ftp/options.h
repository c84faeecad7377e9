#pragma once
// The client's command line, read as the Windows client reads its own:
//   ftp.exe [-v] [-d] [-i] [-n] [-s:FILE] [HOST]

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tunelift::ftp {

struct Config {
  // Commands come from this file; none: from standard input.
  std::optional<std::filesystem::path> scriptFile;
  bool autoLogin = true;      // -n: "open" asks for no user name and password
  bool prompting = true;      // -i: mput sends every file without asking
  bool showReplies = true;    // -v: the server's replies stay off the transcript
  bool showCommands = false;  // -d: the commands sent are shown (never the password)
  // Opened before the first command; empty: none.
  std::string host;
};

// The configuration the arguments ask for; nullopt when they are not a command line the
// client knows (the caller then shows UsageText and ends with status 2).
std::optional<Config> ParseArguments(std::span<const std::string_view> arguments);

std::string_view UsageText();

}  // namespace tunelift::ftp
