#include "ftp/run.h"

#include <cerrno>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>

#include "ftp/console.h"
#include "ftp/line_reader.h"
#include "ftp/options.h"
#include "ftp/session.h"
#include "listing/utf8_path.h"

namespace tunelift::ftp {

int Run(std::span<const std::string_view> arguments, const RunEnvironment& environment,
        const TransportMaker& makeTransport, std::istream& in, std::ostream& out,
        std::ostream& err) {
  const std::optional<Config> config = ParseArguments(arguments);
  if (!config) {
    err << UsageText();
    return kExitUsage;
  }
  std::ifstream script;
  if (config->scriptFile) {
    script.open(*config->scriptFile, std::ios::binary);
    if (!script) {
      Console(err, {}).Error("Cannot open the script " + Utf8FromPath(*config->scriptFile) +
                             ": " + std::generic_category().message(errno));
      return kExitFailure;
    }
  }
  const bool interactive = !config->scriptFile && environment.inputIsTerminal;
  Console console(out, {.showReplies = config->showReplies,
                        .showCommands = config->showCommands,
                        .showProgress = environment.outputIsTerminal});
  int status = kExitFailure;
  try {
    const std::unique_ptr<Transport> transport = makeTransport(console);
    LineReader input(config->scriptFile ? script : in);
    Session session(*transport, console, input,
                    {.autoLogin = config->autoLogin,
                     .prompting = config->prompting,
                     .interactive = interactive,
                     .localFolder = environment.currentFolder,
                     .pin = environment.pin});
    status = session.Run(config->host);
  } catch (const std::exception& error) {
    // Only what no command can recover from gets here: the input itself failed.
    console.Error(error.what());
  }
  if (console.writeError() != 0) {
    // A transcript that nobody could read is a failure of its own (a closed pipe, a full disk).
    Console(err, {}).Error("The transcript could not be written: " +
                           std::generic_category().message(console.writeError()) + ".");
    status = kExitFailure;
  }
  return status;
}

}  // namespace tunelift::ftp
