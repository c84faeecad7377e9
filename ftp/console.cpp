#include "console.h"

#include <algorithm>
#include <cerrno>
#include <iomanip>
#include <sstream>
#include <utility>

namespace tunelift::ftp {

std::string TransferSummary(std::int64_t bytes, double seconds) {
  // A loopback transfer can take less than the clock's grain; the rate must stay finite.
  const double rate = static_cast<double>(bytes) / 1000.0 / std::max(seconds, 0.001);
  std::ostringstream text;
  text << std::fixed << std::setprecision(2) << "ftp: " << bytes << " bytes sent in " << seconds
       << " Seconds " << rate << " Kbytes/sec.";
  return text.str();
}

Console::Console(std::ostream& out, ConsoleOptions options)
    : output_(std::make_shared<Output>(out)), options_(options) {}

Console::Console(Console& main) : output_(main.output_), options_(main.options_) {}

void Console::Hold() {
  holding_ = true;
}

void Console::Release() {
  holding_ = false;
  if (!held_.empty()) {
    Emit(std::exchange(held_, {}));
  }
}

void Console::Discard() {
  holding_ = false;
  held_.clear();
}

int Console::writeError() const {
  const std::lock_guard lock(output_->mutex);
  return output_->writeError;
}

void Console::Echo(std::string_view command) {
  shownBefore_.clear();
  WriteLine("ftp> ", command);
}

void Console::Say(std::string_view text) {
  WriteLine("", text);
}

void Console::Ask(std::string_view question) {
  Put("", question, "");
}

void Console::Error(std::string_view text) {
  shownBefore_.clear();
  WriteLine("ftp: ", text);
}

void Console::BeginFile(std::string_view name) {
  fileName_ = std::string(name);
  lastPercent_ = -1;
}

void Console::EndFile(const StoreResult& result) {
  Say(TransferSummary(result.bytesSent, result.seconds));
}

void Console::OnConnected(std::string_view host) {
  Say("Connected to " + std::string(host) + ".");
}

void Console::OnReply(std::string_view line) {
  if (options_.showReplies) {
    Say(line);
  }
}

void Console::ShowBefore(std::string_view verb, std::string text) {
  shownBefore_.emplace_back(verb, std::move(text));
}

void Console::ShowWaiting() {
  for (const auto& [verb, text] : std::exchange(shownBefore_, {})) {
    Say(text);
  }
}

void Console::OnCommandSent(std::string_view line) {
  const std::string_view verb = line.substr(0, line.find(' '));
  const auto waiting = std::find_if(shownBefore_.begin(), shownBefore_.end(),
                                    [&](const auto& entry) { return entry.first == verb; });
  if (waiting != shownBefore_.end()) {
    Say(waiting->second);
    shownBefore_.erase(waiting);
  }
  if (options_.showCommands) {
    WriteLine("---> ", line);
  }
}

void Console::OnControlEncryption(ControlEncryption encryption) {
  switch (encryption) {
    case ControlEncryption::Verified:
      return Say("The connection is encrypted; the server's identity was verified.");
    case ControlEncryption::Unverified:
      return Say(
          "The connection is encrypted, but the server's identity could not be checked "
          "(self-signed or unknown certificate).");
    case ControlEncryption::RefusedByServer:
      return Say(
          "The connection is not encrypted: the server did not accept encryption; "
          "the password and the files go in plain FTP.");
    case ControlEncryption::Unsupported:
      return Say(
          "The connection is not encrypted: this FTP client cannot encrypt; the "
          "password and the files go in plain FTP.");
  }
}

void Console::OnProgress(std::int64_t sent, std::int64_t total) {
  if (!options_.showProgress || total <= 0 || holding_) {
    return;
  }
  const int percent = static_cast<int>(std::min<std::int64_t>(sent * 100 / total, 100));
  if (percent == lastPercent_) {
    return;
  }
  lastPercent_ = percent;
  std::ostringstream line;
  line << fileName_ << ": " << std::setw(3) << percent << "% (" << sent << " of " << total
       << " bytes)";
  const std::lock_guard lock(output_->mutex);
  output_->out << '\r' << TerminalSafe(line.str());
  Flush();
  output_->progressOpen = true;
}

void Console::WriteLine(std::string_view prefix, std::string_view text) {
  Put(prefix, text, "\n");
}

void Console::Put(std::string_view prefix, std::string_view text, std::string_view lineEnd) {
  std::string safe = TerminalSafe(prefix) + TerminalSafe(text);
  safe += lineEnd;
  if (holding_) {
    held_ += safe;
  } else {
    Emit(safe);
  }
}

void Console::Emit(std::string_view text) {
  const std::lock_guard lock(output_->mutex);
  StartLine();
  output_->out << text;
  Flush();
}

void Console::StartLine() {
  if (output_->progressOpen) {
    output_->out << '\n';
    output_->progressOpen = false;
  }
}

void Console::Flush() {
  errno = 0;
  output_->out.flush();
  if (!output_->out && output_->writeError == 0) {
    output_->writeError = errno != 0 ? errno : EIO;
  }
}

}  // namespace tunelift::ftp
