// ftp.exe: the command-line FTP client that Tunelift starts as "ftp.exe -s:sendfiles.ftps".
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/native_services.h"
#include "core/server_settings.h"
#include "client_platform.h"
#include "console.h"
#include "run.h"
#include "terminal.h"
#include "text/utf8_path.h"

namespace {

// The settings in tunelift.ini beside this program, the same file Tunelift reads: its host
// is the one the pinned key belongs to.
struct ServerSettingsRead {
  tunelift::ServerSettings server;
  std::optional<std::string> failure;
};

ServerSettingsRead ReadServerSettings() {
  try {
    return {tunelift::LoadServerSettings(tunelift::RunningProgramFolder()), std::nullopt};
  } catch (const tunelift::Error& error) {
    return {tunelift::BuiltInServerSettings(), error.description()};
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tunelift::ftp;
  try {
    const ClientPlatform platform;
    const std::vector<std::string> arguments = platform.Arguments(argc, argv);
    const std::vector<std::string_view> views(arguments.begin(), arguments.end());
    const ServerSettingsRead settings = ReadServerSettings();
    RunEnvironment environment{
        .pin = {.host = settings.server.host, .key = settings.server.pinnedKey},
        .inputIsTerminal = StandardInputIsTerminal(),
        .outputIsTerminal = StandardOutputIsTerminal(),
        .currentFolder = std::filesystem::current_path(),
        .reportPath = tunelift::PathFromUtf8(platform.Variable("TUNELIFT_FTP_REPORT")),
        .connections = platform.DefaultConnections(),
        .settingsFailure = settings.failure};
    const std::string waits = platform.Variable("TUNELIFT_FTP_RETRY_WAITS");
    if (const auto parsed = ParseWaits(waits); !waits.empty() && parsed) {
      environment.reconnectWaits = *parsed;
    }
    const std::string connections = platform.Variable("TUNELIFT_FTP_CONNECTIONS");
    if (const auto parsed = ParseConnections(connections); !connections.empty() && parsed) {
      environment.connections = *parsed;
    }
    return Run(views, environment, platform.Transports(), std::cin, std::cout, std::cerr);
  } catch (const std::exception& error) {
    Console(std::cerr, {}).Error(error.what());
    return kExitFailure;
  }
}
