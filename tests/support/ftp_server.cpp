#include "tests/support/ftp_server.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <sstream>
#include <system_error>

#include "tests/support/command_log.h"

namespace tunelift::test {
namespace {

// A count of 0 means "never" and is left out; the server refuses a negative one.
void AddCount(std::vector<std::string>& arguments, const char* option, std::int64_t count) {
  if (count != 0) {
    arguments.insert(arguments.end(), {option, std::to_string(count)});
  }
}

void AddFlag(std::vector<std::string>& arguments, const char* option, bool wanted) {
  if (wanted) {
    arguments.emplace_back(option);
  }
}

// The ways a server can misbehave on uploads and on the commands that resume them.
void AddFaultArguments(const FtpServerOptions& options, std::vector<std::string>& arguments) {
  AddCount(arguments, "--drop-after", options.dropAfterBytes);
  AddCount(arguments, "--reset-data-after", options.resetDataAfterBytes);
  AddFlag(arguments, "--keep-half", options.keepHalf);
  AddFlag(arguments, "--refuse-rest", options.refuseRest);
  AddFlag(arguments, "--no-size", options.noSize);
  AddCount(arguments, "--read-limit", options.readLimit);
}

// How far off the server is and how many connections it takes.
void AddLimitArguments(const FtpServerOptions& options, std::vector<std::string>& arguments) {
  AddCount(arguments, "--max-connections-per-ip", options.maxConnectionsPerAddress);
  AddCount(arguments, "--reply-delay", options.replyDelayMilliseconds);
  AddCount(arguments, "--close-connections-after", options.closeConnectionsAfter);
  AddCount(arguments, "--refuse-logins-after", options.refuseLoginsAfter);
}

std::vector<std::string> ServerArguments(const FtpServerOptions& options,
                                         const std::filesystem::path& work,
                                         const std::filesystem::path& log) {
  std::vector<std::string> arguments{TUNELIFT_FTP_SERVER_SCRIPT, "--root",
                                     options.receiveFolder.string(), "--log", log.string()};
  if (options.tls) {
    arguments.insert(arguments.end(),
                     {"--tls-dir", work.string(), "--tls-host", options.tlsHostName});
  }
  AddFlag(arguments, "--keep-ascii-bytes", options.keepAsciiBytes);
  AddFlag(arguments, "--refuse-prot-p", options.refuseProtP);
  if (!options.banner.empty()) {
    arguments.insert(arguments.end(), {"--banner", options.banner});
  }
  for (const std::string& command : options.refuse) {
    arguments.insert(arguments.end(), {"--refuse", command});
  }
  if (!options.refuseText.empty()) {
    arguments.push_back("--refuse-text=" + options.refuseText);
  }
  for (const std::string& command : options.hangUpAt) {
    arguments.insert(arguments.end(), {"--hang-up-at", command});
  }
  AddFaultArguments(options, arguments);
  AddLimitArguments(options, arguments);
  return arguments;
}

int ReadPort(ChildProcess& process) {
  const std::string line = process.ReadLine(std::chrono::seconds(10));
  std::istringstream words(line);
  std::string label;
  int port = 0;
  if (!(words >> label >> port) || label != "PORT" || port <= 0) {
    throw std::system_error(EPROTO, std::generic_category(), "FTP test server said: " + line);
  }
  return port;
}

}  // namespace

FtpServer::FtpServer(const std::filesystem::path& receiveFolder)
    : FtpServer(FtpServerOptions{.receiveFolder = receiveFolder}) {}

FtpServer::FtpServer(const FtpServerOptions& options)
    : commandLog_(work_.path() / "commands.log"),
      certificate_(options.tls ? work_.path() / "cert.pem" : std::filesystem::path()),
      process_(TUNELIFT_SYSTEM_PYTHON, ServerArguments(options, work_.path(), commandLog_)),
      port_(ReadPort(process_)) {}

std::vector<std::string> FtpServer::Commands() const {
  std::istringstream log(std::filesystem::exists(commandLog_) ? ReadFile(commandLog_) : "");
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::size_t FtpServer::CountOf(std::string_view verb) const {
  return CountCommands(Commands(), verb);
}

std::string FtpServer::ConnectTo(std::string_view host) const {
  return std::string(host) + ":21:127.0.0.1:" + std::to_string(port_);
}

}  // namespace tunelift::test
