#include "wininet_transport.h"

#include <chrono>
#include <utility>

#include "connect_to.h"
#include "wininet_control.h"
#include "wininet_failure.h"
#include "wininet_reply.h"
#include "wininet_upload.h"
#include "text/wide_text_win32.h"

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;
using Step = FailedCall::Step;

}  // namespace

struct WinInetTransport::State {
  State(TransportObserver& observer, WinInetTransportOptions chosen)
      : options(std::move(chosen)),
        connectTo(ParseConnectTo(options.connectTo)),
        control(observer) {}

  // Starts WinINet once, with the transport's timeouts.
  void StartWinInet() {
    if (internet) {
      return;
    }
    internet.reset(
        InternetOpenW(L"Tunelift ftp.exe", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!internet) {
      const DWORD code = GetLastError();
      throw TransportError(Stage::Connect, static_cast<int>(code),
                           "Cannot start WinINet: " + WinInetWords(code));
    }
    DWORD connect = options.connectTimeoutSeconds * 1000;
    DWORD stall = options.stallSeconds * 1000;
    InternetSetOptionW(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
    InternetSetOptionW(internet.get(), INTERNET_OPTION_SEND_TIMEOUT, &stall, sizeof stall);
  }

  // Whether the server restarts a store at an offset, asked of it once per login.
  bool AskResume() {
    const auto features = control.Ask(L"FEAT", "Cannot ask the server's features", false);
    if (!features) {
      return false;  // a server without FEAT (RFC 2389) predates REST STREAM
    }
    if (features->size() > 1) {
      return ListsRestStream(*features);
    }
    // Only the last line shows (Wine). "REST 0" restarts nothing: the next transfer starts at
    // its beginning, as it would without it. It is asked in binary mode, the one resumes are
    // for (pyftpdlib refuses REST in ASCII), and the server stays in it.
    control.UseType(TransferType::Binary);
    return control.Ask(L"REST 0", "Cannot ask the server to restart", false).has_value();
  }

  const WinInetTransportOptions options;
  const std::optional<ConnectTo> connectTo;
  Internet internet;
  WinInetControl control;
  std::string host;
  int port = 21;
  std::optional<bool> resumeOffered;  // this login's answer to ResumeOffered
};

WinInetTransport::WinInetTransport(TransportObserver& observer, WinInetTransportOptions options)
    : state_(std::make_unique<State>(observer, std::move(options))) {}

WinInetTransport::~WinInetTransport() {
  Close();
}

void WinInetTransport::Open(const Endpoint& server) {
  Close();
  if (!server.pinnedKey.empty()) {
    // The session never asks this; should a caller, nothing may go out in clear.
    throw TransportError(Stage::Connect, ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
                         "This client cannot encrypt, but the key of " + server.host +
                             "'s server is pinned: nothing was sent.");
  }
  if (server.host.empty()) {
    throw TransportError(Stage::Connect, ERROR_INTERNET_INVALID_URL, "No host name was given.");
  }
  WideFor(server.host, Stage::Connect);  // a name WinINet cannot take fails here, not at login
  state_->control.Name(server.host, server.port);
  state_->host = server.host;
  state_->port = server.port;
}

void WinInetTransport::Login(const std::string& user, const std::string& password) {
  State& state = *state_;
  WinInetControl& control = state.control;
  state.StartWinInet();
  control.Hangup();  // a connection left from before (one that dropped, say) ends first
  state.resumeOffered.reset();
  const Address target = Redirected(state.connectTo, {.host = state.host, .port = state.port});
  const auto started = WinInetClock::now();
  // WinINet connects and logs in in one call; the password is never shown.
  Internet session(InternetConnectW(
      state.internet.get(), WideFor(target.host, Stage::Connect).c_str(),
      static_cast<INTERNET_PORT>(target.port), WideFor(user, Stage::Login).c_str(),
      WideFor(password, Stage::Login).c_str(), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
  const DWORD code = GetLastError();
  control.Adopt(std::move(session));
  if (control.LoggedIn()) {
    control.observer().OnConnected(state.host);
    return control.ReportReply();
  }
  FailedCall call = control.Call(Step::Connect, code, "Cannot log in to " + state.host, started);
  // Only these errors come with the server's reply: with any other, WinINet's last reply is
  // an older connection's.
  if (code == ERROR_INTERNET_LOGIN_FAILURE || code == ERROR_INTERNET_EXTENDED_ERROR) {
    call.answer = LastReplyLines();
  }
  const TransportError error = Explain(call);
  if (error.stage() != Stage::Connect) {
    control.observer().OnConnected(state.host);  // a refused or lost login had a connection
  }
  control.Report(error.reply().code != 0 ? call.answer : std::vector<std::string>());
  throw error;
}

void WinInetTransport::SetType(TransferType type) {
  state_->control.ForgetType();  // asked for: it goes, whatever the server had
  state_->control.UseType(type);
}

void WinInetTransport::ChangeDirectory(const std::string& folder) {
  WinInetControl& control = state_->control;
  const auto started = WinInetClock::now();
  if (!FtpSetCurrentDirectoryW(control.Session(), WideFor(folder, Stage::Command).c_str())) {
    throw control.Failure("Cannot change to " + folder, started);
  }
  control.ReportReply();
}

StoreResult WinInetTransport::Store(const std::filesystem::path& local,
                                    const std::string& remoteName, TransferType type,
                                    std::int64_t offset) {
  WinInetControl& control = state_->control;
  const auto started = WinInetClock::now();
  const std::string shown = Utf8FromWide(local.wstring());
  const LocalFile file = OpenLocal(local, shown);
  const std::int64_t size = SizeAndSeek(file.get(), offset, shown);
  // The file goes as its bytes are: a Windows text file already has the CR LF that ASCII
  // mode puts on the wire.
  Internet remote = OpenUpload(control, remoteName, type, offset);
  try {
    SendContent(control, file.get(), size - offset, remote, shown, remoteName);
  } catch (const TransportError&) {
    // A local failure leaves the upload open: closing it ends it, and the server's answer to
    // what was sent shows here, not at the goodbye.
    if (remote && InternetCloseHandle(remote.release())) {
      control.ReportNewReply();
    }
    throw;
  }
  FinishUpload(control, remote, remoteName);
  const std::chrono::duration<double> seconds = WinInetClock::now() - started;
  return StoreResult{.bytesSent = size - offset, .seconds = seconds.count()};
}

std::optional<std::int64_t> WinInetTransport::RemoteSize(const std::string& remoteName) {
  WinInetControl& control = state_->control;
  // A size is a count of bytes in binary mode alone (RFC 3659); pyftpdlib refuses SIZE in
  // ASCII, the type a server starts every login in.
  control.UseType(TransferType::Binary);
  const auto reply = control.Ask(L"SIZE " + WideFor(remoteName, Stage::Command),
                                 "Cannot ask the size of " + remoteName, false);
  return reply ? SizeIn(*reply) : std::nullopt;
}

bool WinInetTransport::ResumeOffered() {
  State& state = *state_;
  if (!state.resumeOffered) {
    state.resumeOffered = state.AskResume();
  }
  return *state.resumeOffered;
}

void WinInetTransport::Delete(const std::string& remoteName) {
  WinInetControl& control = state_->control;
  const auto started = WinInetClock::now();
  if (!FtpDeleteFileW(control.Session(), WideFor(remoteName, Stage::Command).c_str())) {
    throw control.Failure("Cannot delete " + remoteName, started);
  }
  control.ReportReply();
}

void WinInetTransport::Close() noexcept {
  state_->control.Hangup();
  state_->resumeOffered.reset();
}

}  // namespace tunelift::ftp
