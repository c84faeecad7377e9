#include "ftp/run.h"

#include <cerrno>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>

#include "ftp/console.h"
#include "ftp/curl_transport.h"
#include "ftp/line_reader.h"
#include "ftp/options.h"
#include "ftp/session.h"

namespace tunelift::ftp {

int Run(std::span<const std::string_view> arguments, const RunEnvironment& environment,
        std::istream& in, std::ostream& out, std::ostream& err) {
  const std::optional<Config> config = ParseArguments(arguments);
  if (!config) {
    err << UsageText();
    return kExitUsage;
  }
  std::ifstream script;
  if (config->scriptFile) {
    script.open(*config->scriptFile, std::ios::binary);
    if (!script) {
      err << "ftp: Cannot open the script " << config->scriptFile->string() << ": "
          << std::generic_category().message(errno) << "\n";
      return kExitFailure;
    }
  }
  const bool interactive = !config->scriptFile && environment.inputIsTerminal;
  Console console(out, {.showReplies = config->showReplies,
                        .showCommands = config->showCommands,
                        .showProgress = environment.outputIsTerminal});
  try {
    CurlTransportOptions transportOptions;
    transportOptions.connectTo = environment.connectTo;
    CurlTransport transport(console, transportOptions);
    LineReader input(config->scriptFile ? script : in);
    Session session(transport, console, input,
                    {.autoLogin = config->autoLogin,
                     .prompting = config->prompting,
                     .interactive = interactive,
                     .localFolder = environment.currentFolder,
                     .pin = environment.pin});
    return session.Run(config->host);
  } catch (const std::exception& error) {
    // Only what no command can recover from gets here: the input itself failed.
    console.Error(error.what());
    return kExitFailure;
  }
}

}  // namespace tunelift::ftp
