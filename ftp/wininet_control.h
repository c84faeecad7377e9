#pragma once
// The control connection of the WinINet transport: the server's replies, each shown once, and
// each failed step turned into the TransportError that says what happened. WinINet keeps the
// last reply it read, so a step the server never answered leaves an older step's reply in
// place: the reply last seen is kept here to tell a new answer from an old one.
// For the WinINet transport's own files alone.

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "transport.h"
#include "wininet_failure.h"

namespace tunelift::ftp {

struct InternetCloser {
  void operator()(HINTERNET handle) const noexcept { InternetCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

using WinInetClock = std::chrono::steady_clock;

// `text` for a *W function; text that is not UTF-8 fails at `stage`.
std::wstring WideFor(const std::string& text, TransportError::Stage stage);

class WinInetControl {
public:
  // `observer` must outlive the control connection.
  explicit WinInetControl(TransportObserver& observer) : observer_(observer) {}

  TransportObserver& observer() const { return observer_; }

  // The server as the user named it, for the sentences of failures.
  void Name(const std::string& host, int port);
  const std::string& host() const { return host_; }

  // Takes the connection InternetConnectW made (a new login: the server's type is unknown).
  void Adopt(Internet session);
  // The logged-in connection; throws when there is none.
  HINTERNET Session() const;
  bool LoggedIn() const { return static_cast<bool>(session_); }
  // Closes the connection (WinINet sends QUIT) and shows the goodbye. Never fails.
  void Hangup() noexcept;

  // Shows `lines` as the server's reply to the step that just ended.
  void Report(const std::vector<std::string>& lines);
  void ReportReply();
  // Shows the reply to the step that just ended only where WinINet kept a new one.
  void ReportNewReply();
  // Notes WinINet's last reply as seen, without showing it.
  void NoteReply();
  // The server's new reply, when it is a 2xx one (the verdict on a transfer).
  std::optional<std::vector<std::string>> NewSuccess() const;

  // What the step that failed with `error` leaves to explain, without its answer.
  FailedCall Call(FailedCall::Step step, unsigned long error, const std::string& what,
                  WinInetClock::time_point started) const;
  // The server's refusal of the step that just failed, or nothing when it did not answer: a
  // refusal counts when it is new, or when the server still answers (the same refusal
  // twice, "550 No such file" to two SIZEs).
  std::vector<std::string> RefusalOfFailedStep();
  // The error of `call` with its refusal, if any, added and shown.
  TransportError Explained(FailedCall call);
  // The error of the command step that just failed.
  TransportError Failure(const std::string& what, WinInetClock::time_point started);

  // Sends `command`. Returns the reply's lines when the server accepted it and nothing when
  // it refused it (the refusal shown); throws when the connection failed, or with
  // `refusalThrows`.
  std::optional<std::vector<std::string>> Ask(const std::wstring& command, const std::string& what,
                                              bool refusalThrows);
  // Sends `command` for its effect alone: its reply is noted, not shown, its failure ignored.
  void SendQuietly(const wchar_t* command);
  // Tells the server the transfer type `type` unless it has it already.
  void UseType(TransferType type);
  // Notes that the server now has `type` (FtpOpenFileW sent it).
  void TypeSent(TransferType type) { serverType_ = type; }
  // The next UseType sends its type whatever the server has.
  void ForgetType() { serverType_.reset(); }

private:
  // Whether the connection still answers (NOOP).
  bool StillAnswers();

  TransportObserver& observer_;
  Internet session_;
  std::string host_;
  int port_ = 21;
  std::vector<std::string> seenReply_;
  std::optional<TransferType> serverType_;  // the type last set on this login
};

}  // namespace tunelift::ftp
