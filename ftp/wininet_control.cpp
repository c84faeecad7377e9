#include "wininet_control.h"

#include <cmath>
#include <utility>

#include "wininet_reply.h"
#include "text/wide_text_win32.h"

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;

long SecondsSince(WinInetClock::time_point started) {
  const std::chrono::duration<double> taken = WinInetClock::now() - started;
  return std::lround(taken.count());
}

}  // namespace

std::wstring WideFor(const std::string& text, Stage stage) {
  try {
    return WideFromUtf8(text);
  } catch (const BadText& error) {
    throw TransportError(stage, ERROR_NO_UNICODE_TRANSLATION, error.what());
  }
}

void WinInetControl::Name(const std::string& host, int port) {
  host_ = host;
  port_ = port;
}

void WinInetControl::Adopt(Internet session) {
  session_ = std::move(session);
  serverType_.reset();
}

HINTERNET WinInetControl::Session() const {
  if (!session_) {
    throw TransportError(Stage::Login, ERROR_INTERNET_INCORRECT_HANDLE_STATE, "Not logged in.");
  }
  return session_.get();
}

void WinInetControl::Hangup() noexcept {
  if (!session_) {
    return;
  }
  // WinINet may say goodbye (QUIT) as it closes the connection; Wine's only closes it.
  session_.reset();
  try {
    ReportNewReply();
  } catch (const std::exception&) {
    // A goodbye that cannot be shown changes nothing.
  }
}

void WinInetControl::Report(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    observer_.OnReply(line);
  }
  NoteReply();
}

void WinInetControl::ReportReply() {
  Report(LastReplyLines());
}

void WinInetControl::ReportNewReply() {
  const std::vector<std::string> reply = LastReplyLines();
  if (reply != seenReply_) {
    Report(reply);
  }
}

void WinInetControl::NoteReply() {
  seenReply_ = LastReplyLines();
}

std::optional<std::vector<std::string>> WinInetControl::NewSuccess() const {
  std::vector<std::string> reply = LastReplyLines();
  const int code = ReplyOf(reply).code;
  if (reply == seenReply_ || code < 200 || code >= 300) {
    return std::nullopt;
  }
  return reply;
}

FailedCall WinInetControl::Call(FailedCall::Step step, unsigned long error, const std::string& what,
                                WinInetClock::time_point started) const {
  return {.step = step,
          .error = error,
          .answer = {},
          .what = what,
          .host = host_,
          .port = port_,
          .seconds = SecondsSince(started)};
}

std::vector<std::string> WinInetControl::RefusalOfFailedStep() {
  const std::vector<std::string> lines = LastReplyLines();
  if (ReplyOf(lines).code < 400) {
    return {};
  }
  return lines != seenReply_ || StillAnswers() ? lines : std::vector<std::string>();
}

TransportError WinInetControl::Explained(FailedCall call) {
  call.answer = RefusalOfFailedStep();
  Report(call.answer);
  return Explain(call);
}

TransportError WinInetControl::Failure(const std::string& what, WinInetClock::time_point started) {
  return Explained(Call(FailedCall::Step::Command, GetLastError(), what, started));
}

std::optional<std::vector<std::string>> WinInetControl::Ask(const std::wstring& command,
                                                            const std::string& what,
                                                            bool refusalThrows) {
  const auto started = WinInetClock::now();
  if (FtpCommandW(Session(), FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr)) {
    ReportReply();
    return seenReply_;
  }
  const TransportError error = Failure(what, started);
  if (refusalThrows || error.stage() != Stage::Command || error.reply().code == 0) {
    throw error;
  }
  return std::nullopt;
}

void WinInetControl::SendQuietly(const wchar_t* command) {
  FtpCommandW(session_.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, command, 0, nullptr);
  NoteReply();
}

void WinInetControl::UseType(TransferType type) {
  if (serverType_ != type) {
    Ask(type == TransferType::Binary ? L"TYPE I" : L"TYPE A", "Cannot set the transfer type", true);
    serverType_ = type;
  }
}

bool WinInetControl::StillAnswers() {
  const bool answered =
      FtpCommandW(session_.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, L"NOOP", 0, nullptr) != FALSE;
  NoteReply();
  return answered;
}

}  // namespace tunelift::ftp
