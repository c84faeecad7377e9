#include "run.h"

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "console.h"
#include "line_reader.h"
#include "options.h"
#include "send_report.h"
#include "session.h"
#include "to_both.h"
#include "text/utf8_path.h"

namespace tunelift::ftp {

std::optional<std::vector<std::chrono::milliseconds>> ParseWaits(std::string_view text) {
  std::vector<std::chrono::milliseconds> waits;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string item(text.substr(0, comma));
    double seconds = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), seconds);
    if (error != std::errc() || end != item.data() + item.size() || seconds < 0 || seconds > 3600) {
      return std::nullopt;
    }
    waits.emplace_back(static_cast<long long>(seconds * 1000));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return waits;
}

std::optional<std::size_t> ParseConnections(std::string_view text) {
  std::size_t count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  const bool whole = error == std::errc() && end == text.data() + text.size();
  return whole && count >= 1 && count <= kMostConnections ? std::optional(count) : std::nullopt;
}

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

// Opens the script; otherwise returns why it cannot, in words.
std::optional<std::string> OpenScript(const std::filesystem::path& path, std::ifstream& script) {
  std::optional<std::string> reason = NotAScript(path);
  if (!reason) {
    script.open(path, std::ios::binary);
    if (!script) {
      reason = std::generic_category().message(errno);
    }
  }
  if (!reason) {
    return std::nullopt;
  }
  return "Cannot open the script " + Utf8FromPath(path) + ": " + *reason;
}

// Says why the client cannot start, on `err` and in the report, and gives its exit status.
int RefuseToStart(const std::string& failure, const RunEnvironment& environment,
                  std::ostream& err) {
  Console(err, {}).Error(failure);
  // Whoever reads the report learns it there too, not only from the transcript.
  SendReport report(environment.reportPath);
  report.Failure(failure, {});
  report.End(kExitFailure);
  return kExitFailure;
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
  if (environment.settingsFailure) {
    return RefuseToStart(*environment.settingsFailure, environment, err);
  }
  std::ifstream script;
  if (config->scriptFile) {
    if (const std::optional<std::string> failure = OpenScript(*config->scriptFile, script)) {
      return RefuseToStart(*failure, environment, err);
    }
  }
  const bool interactive = !config->scriptFile && environment.inputIsTerminal;
  Console console(out, {.showReplies = config->showReplies,
                        .showCommands = config->showCommands,
                        .showProgress = environment.outputIsTerminal});
  SendReport report(environment.reportPath);
  ToBoth observer(console, report);
  SessionOptions options{.autoLogin = config->autoLogin,
                         .prompting = config->prompting,
                         .interactive = interactive,
                         .localFolder = environment.currentFolder,
                         .pin = environment.pin,
                         .connections = environment.connections,
                         .transports = makeTransport};
  if (!environment.reconnectWaits.empty()) {
    options.reconnectWaits = environment.reconnectWaits;
  }
  int status = kExitFailure;
  try {
    const std::unique_ptr<Transport> transport = makeTransport(observer);
    LineReader input(config->scriptFile ? script : in);
    Session session(*transport, console, input, report, std::move(options));
    status = session.Run(config->host);
  } catch (const std::exception& error) {
    // Only what no command can recover from gets here: the input itself failed.
    console.Error(error.what());
    report.Failure(error.what(), {});
  }
  if (console.writeError() != 0) {
    // A transcript that nobody could read is a failure of its own (a closed pipe, a full disk).
    Console(err, {}).Error("The transcript could not be written: " +
                           std::generic_category().message(console.writeError()) + ".");
    status = kExitFailure;
  }
  report.End(status);
  if (report.writeError() != 0) {
    Console(err, {}).Error("The report could not be written: " +
                           std::generic_category().message(report.writeError()) + ".");
    status = kExitFailure;
  }
  return status;
}

}  // namespace tunelift::ftp
