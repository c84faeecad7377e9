#include "ftp/run.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "ftp/console.h"
#include "ftp/line_reader.h"
#include "ftp/options.h"
#include "ftp/session.h"
#include "listing/utf8_path.h"

namespace tunelift::ftp {
namespace {

// Why `path` cannot be a script, or nothing. Only a regular file is read: a FIFO without a
// writer or a terminal would hold the client for ever, and a device such as /dev/zero would
// feed it without end. The check comes before the open, which itself may block on them.
// What cannot be looked at (a missing file) is left to the open, which names the reason.
std::optional<std::string> NotAScript(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!error && status.type() != std::filesystem::file_type::regular) {
    return "it is not a regular file.";
  }
  return std::nullopt;
}

// Opens the script, or says on `err` why it cannot and returns false.
bool OpenScript(const std::filesystem::path& path, std::ifstream& script, std::ostream& err) {
  std::optional<std::string> reason = NotAScript(path);
  if (!reason) {
    script.open(path, std::ios::binary);
    if (!script) {
      reason = std::generic_category().message(errno);
    }
  }
  if (reason) {
    Console(err, {}).Error("Cannot open the script " + Utf8FromPath(path) + ": " + *reason);
  }
  return !reason;
}

}  // namespace

int Run(std::span<const std::string_view> arguments, const RunEnvironment& environment,
        const TransportMaker& makeTransport, std::istream& in, std::ostream& out,
        std::ostream& err) {
  const std::optional<Config> config = ParseArguments(arguments);
  if (!config) {
    err << UsageText();
    return kExitUsage;
  }
  std::ifstream script;
  if (config->scriptFile && !OpenScript(*config->scriptFile, script, err)) {
    return kExitFailure;
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
