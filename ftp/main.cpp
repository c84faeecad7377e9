// ftp.exe: the command-line FTP client that Tunelift starts as "ftp.exe -s:sendfiles.ftps".
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <vector>

#include "core/build_config.h"
#include "ftp/console.h"
#include "ftp/curl_transport.h"
#include "ftp/run.h"
#include "ftp/terminal.h"

int main(int argc, char** argv) {
  using namespace tunelift::ftp;
  ReportOutputFailuresInsteadOfDying();
  try {
    const CurlLibrary curl;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const char* connectTo = std::getenv("TUNELIFT_FTP_CONNECT_TO");
    const RunEnvironment environment{.connectTo = connectTo != nullptr ? connectTo : "",
                                     .pin = {.host = std::string(tunelift::kFtpHost),
                                             .key = std::string(tunelift::kFtpPinnedKey)},
                                     .inputIsTerminal = StandardInputIsTerminal(),
                                     .outputIsTerminal = StandardOutputIsTerminal(),
                                     .currentFolder = std::filesystem::current_path()};
    return Run(arguments, environment, std::cin, std::cout, std::cerr);
  } catch (const std::exception& error) {
    Console(std::cerr, {}).Error(error.what());
    return kExitFailure;
  }
}
