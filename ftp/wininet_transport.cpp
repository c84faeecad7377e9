#include "ftp/wininet_transport.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>
#include <vector>

#include "ftp/connect_to.h"
#include "ftp/wininet_failure.h"
#include "ftp/wininet_reply.h"
#include "listing/wide_text_win32.h"

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;
using Step = FailedCall::Step;
using Clock = std::chrono::steady_clock;

struct InternetCloser {
  void operator()(HINTERNET handle) const noexcept { InternetCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using LocalFile = std::unique_ptr<void, HandleCloser>;

std::wstring Wide(const std::string& text, Stage stage) {
  try {
    return WideFromUtf8(text);
  } catch (const BadText& error) {
    throw TransportError(stage, ERROR_NO_UNICODE_TRANSLATION, error.what());
  }
}

DWORD TypeFlag(TransferType type) {
  return type == TransferType::Binary ? FTP_TRANSFER_TYPE_BINARY : FTP_TRANSFER_TYPE_ASCII;
}

long SecondsSince(Clock::time_point started) {
  const std::chrono::duration<double> taken = Clock::now() - started;
  return std::lround(taken.count());
}

[[noreturn]] void FailLocally(const std::string& what, const std::string& shown) {
  const DWORD code = GetLastError();
  throw TransportError(Stage::Local, static_cast<int>(code),
                       what + " " + shown + ": " + WinInetWords(code));
}

LocalFile OpenLocal(const std::filesystem::path& local, const std::string& shown) {
  const HANDLE opened = CreateFileW(local.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    FailLocally("Cannot open", shown);
  }
  return LocalFile(opened);
}

// The file's size, with the read position moved to `offset`.
std::int64_t SizeAndSeek(HANDLE file, std::int64_t offset, const std::string& shown) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    FailLocally("Cannot open", shown);
  }
  if (offset < 0 || offset > size.QuadPart) {
    throw TransportError(Stage::Local, ERROR_NEGATIVE_SEEK,
                         "Cannot send " + shown + " from byte " + std::to_string(offset) +
                             ": it has " + std::to_string(size.QuadPart) + " bytes");
  }
  LARGE_INTEGER position{};
  position.QuadPart = offset;
  if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) {
    FailLocally("Cannot read", shown);
  }
  return size.QuadPart;
}

}  // namespace

struct WinInetTransport::State {
  State(TransportObserver& reportTo, WinInetTransportOptions chosen)
      : observer(reportTo), options(std::move(chosen)),
        connectTo(ParseConnectTo(options.connectTo)) {}

  // Shows `lines` as the server's reply to the step that just ended.
  void Report(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      observer.OnReply(line);
    }
    seenReply = LastReplyLines();
  }

  void ReportReply() { Report(LastReplyLines()); }

  // Shows the reply to the step that just ended where WinINet kept a new one: a goodbye, or
  // the end of an upload cut short.
  void ReportNewReply() {
    const std::vector<std::string> reply = LastReplyLines();
    if (reply != seenReply) {
      Report(reply);
    }
  }

  // Whether the control connection still answers (NOOP).
  bool StillAnswers() {
    const bool answered = FtpCommandW(session.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, L"NOOP", 0,
                                      nullptr) != FALSE;
    seenReply = LastReplyLines();
    return answered;
  }

  // The server's refusal of the step that just failed, or nothing when it did not answer.
  // WinINet keeps the last reply it read, so a step the server never answered leaves an older
  // step's reply in place: a refusal counts only when it is new, or when the server still
  // answers (the same refusal twice, "550 No such file" to two SIZEs).
  std::vector<std::string> RefusalOfFailedStep() {
    const std::vector<std::string> lines = LastReplyLines();
    if (ReplyOf(lines).code < 400) {
      return {};
    }
    return lines != seenReply || StillAnswers() ? lines : std::vector<std::string>();
  }

  FailedCall Call(Step step, DWORD error, const std::string& what,
                  Clock::time_point started) const {
    return {.step = step, .error = error, .answer = {}, .what = what, .host = host,
            .port = port, .seconds = SecondsSince(started)};
  }

  // The error of the command step that just failed; its refusal, if any, is shown.
  TransportError Failure(const std::string& what, Clock::time_point started) {
    FailedCall call = Call(Step::Command, GetLastError(), what, started);
    call.answer = RefusalOfFailedStep();
    Report(call.answer);
    return Explain(call);
  }

  // Sends `command` on the control connection. Returns the reply's lines when the server
  // accepted it and nothing when it refused it (the refusal shown); throws when the
  // connection failed, or with `refusalThrows`.
  std::optional<std::vector<std::string>> Ask(const std::wstring& command,
                                              const std::string& what, bool refusalThrows) {
    const auto started = Clock::now();
    if (FtpCommandW(Session(), FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr)) {
      ReportReply();
      return seenReply;
    }
    const TransportError error = Failure(what, started);
    if (refusalThrows || error.stage() != Stage::Command || error.reply().code == 0) {
      throw error;
    }
    return std::nullopt;
  }

  void SetTimeouts(HINTERNET handle) const {
    DWORD connect = options.connectTimeoutSeconds * 1000;
    DWORD stall = options.stallSeconds * 1000;
    InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
    InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &stall, sizeof stall);
  }

  // Tells the server the transfer type `type` unless it has it already.
  void UseType(TransferType type) {
    if (serverType != type) {
      Ask(type == TransferType::Binary ? L"TYPE I" : L"TYPE A", "Cannot set the transfer type",
          true);
      serverType = type;
    }
  }

  // Opens the upload of `remoteName`, after "REST offset" when there is one.
  Internet OpenUpload(const std::string& remoteName, TransferType type, std::int64_t offset) {
    const std::wstring name = Wide(remoteName, Stage::Command);
    if (offset > 0) {
      // A server may take REST in one type only (pyftpdlib refuses it in ASCII): the type
      // goes first, though FtpOpenFileW sends it again.
      UseType(type);
      Ask(L"REST " + std::to_wstring(offset), "Cannot resume " + remoteName, true);
    }
    const auto started = Clock::now();
    Internet remote(FtpOpenFileW(Session(), name.c_str(), GENERIC_WRITE,
                                 TypeFlag(type) | INTERNET_FLAG_RELOAD, 0));
    if (!remote) {
      const TransportError error = Failure("Cannot send " + remoteName, started);
      if (offset > 0 && error.stage() == Stage::Command) {
        // The restart position would otherwise stay for the next STOR. Should this fail too,
        // the connection is lost, and the next login starts without it.
        SendQuietly(L"REST 0");
      }
      throw error;
    }
    seenReply = LastReplyLines();  // STOR's "150": the transfer starts, nothing to show yet
    serverType = type;               // FtpOpenFileW sent it before STOR
    return remote;
  }

  // Sends `command` for its effect alone: its reply is noted, not shown.
  void SendQuietly(const wchar_t* command) {
    FtpCommandW(session.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, command, 0, nullptr);
    seenReply = LastReplyLines();
  }

  // The data connection failed while `remote` was being written: closes it, and throws what
  // the server said to that (a "426"), or that the connection dropped.
  [[noreturn]] void UploadBroken(Internet& remote, DWORD error, const std::string& remoteName,
                                 Clock::time_point started) {
    FailedCall call = Call(Step::Transfer, error, "Cannot send " + remoteName, started);
    InternetCloseHandle(remote.release());
    call.answer = RefusalOfFailedStep();
    Report(call.answer);
    throw Explain(call);
  }

  // Writes all of `data`, or throws as UploadBroken does.
  void Write(Internet& remote, const char* data, DWORD size, const std::string& remoteName) {
    while (size > 0) {
      const auto started = Clock::now();
      DWORD written = 0;
      const bool wrote = InternetWriteFile(remote.get(), data, size, &written) != FALSE;
      if (!wrote || written == 0) {
        // A data connection that takes nothing, and says nothing, is as good as aborted.
        UploadBroken(remote, wrote ? ERROR_INTERNET_CONNECTION_ABORTED : GetLastError(),
                     remoteName, started);
      }
      data += written;
      size -= written;
    }
  }

  // Sends the `size` bytes of `file` from where it stands, `shown` by that name, to the
  // upload `remote`: no more, so that a file that keeps growing cannot keep the upload going.
  void SendContent(HANDLE file, std::int64_t size, Internet& remote, const std::string& shown,
                   const std::string& remoteName) {
    std::vector<char> buffer(64 * 1024);
    std::int64_t sent = 0;
    DWORD got = 0;
    while (sent < size) {
      const auto wanted = static_cast<DWORD>(
          std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()), size - sent));
      if (!ReadFile(file, buffer.data(), wanted, &got, nullptr)) {
        FailLocally("Cannot read", shown);
      }
      if (got == 0) {
        throw TransportError(Stage::Local, ERROR_HANDLE_EOF,
                             "Cannot send " + shown + ": it shrank while it was sent");
      }
      Write(remote, buffer.data(), got, remoteName);
      sent += got;
      observer.OnProgress(sent, size);
    }
    // Anything after the measured size would not be the file that was measured. WinINet
    // cannot abort an upload: the server keeps what was sent, but it is not reported as sent.
    char extra = 0;
    if (ReadFile(file, &extra, 1, &got, nullptr) && got == 1) {
      throw TransportError(Stage::Local, ERROR_FILE_TOO_LARGE,
                           "Cannot send " + shown + ": it grew while it was sent");
    }
  }

  // Ends the upload `remote` and reads the server's verdict: a new 2xx reply, or it throws.
  // Wine's WinINet closes the handle without looking at the verdict, so it is read here.
  void FinishUpload(Internet& remote, const std::string& remoteName) {
    const auto started = Clock::now();
    const bool closed = InternetCloseHandle(remote.release()) != FALSE;
    // Closed without a verdict: the control connection said nothing more.
    const DWORD error = closed ? ERROR_FTP_DROPPED : GetLastError();
    const std::vector<std::string> verdict = LastReplyLines();
    const int code = ReplyOf(verdict).code;
    if (verdict != seenReply && code >= 200 && code < 300) {
      return Report(verdict);
    }
    FailedCall call = Call(Step::Transfer, error, "Cannot finish sending " + remoteName, started);
    call.answer = RefusalOfFailedStep();
    Report(call.answer);
    throw Explain(call);
  }

  // Whether the server restarts a store at an offset, asked of it once per login.
  bool AskResume() {
    const auto features = Ask(L"FEAT", "Cannot ask the server's features", false);
    if (!features) {
      return false;  // a server without FEAT (RFC 2389) predates REST STREAM
    }
    if (features->size() > 1) {
      return ListsRestStream(*features);
    }
    // Only the last line shows (Wine). "REST 0" restarts nothing: the next transfer starts at
    // its beginning, as it would without it. It is asked in binary mode, the one resumes are
    // for (pyftpdlib refuses REST in ASCII), and the server stays in it.
    UseType(TransferType::Binary);
    return Ask(L"REST 0", "Cannot ask the server to restart", false).has_value();
  }

  HINTERNET Session() const {
    if (!session) {
      throw TransportError(Stage::Login, ERROR_INTERNET_INCORRECT_HANDLE_STATE, "Not logged in.");
    }
    return session.get();
  }

  TransportObserver& observer;
  const WinInetTransportOptions options;
  const std::optional<ConnectTo> connectTo;
  Internet internet;
  Internet session;  // the logged-in FTP connection
  std::string host;
  int port = 21;
  // The reply WinINet held when this transport last looked: a reply like it is no new answer.
  std::vector<std::string> seenReply;
  std::optional<bool> resumeOffered;  // this login's answer to ResumeOffered
  std::optional<TransferType> serverType;  // the type last set on this login
};

WinInetTransport::WinInetTransport(TransportObserver& observer, WinInetTransportOptions options)
    : state_(std::make_unique<State>(observer, std::move(options))) {}

WinInetTransport::~WinInetTransport() { Close(); }

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
  Wide(server.host, Stage::Connect);  // a name WinINet cannot take fails here, not at login
  state_->host = server.host;
  state_->port = server.port;
}

void WinInetTransport::Login(const std::string& user, const std::string& password) {
  State& state = *state_;
  if (!state.internet) {
    state.internet.reset(
        InternetOpenW(L"Tunelift ftp.exe", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!state.internet) {
      const DWORD code = GetLastError();
      throw TransportError(Stage::Connect, static_cast<int>(code),
                           "Cannot start WinINet: " + WinInetWords(code));
    }
    state.SetTimeouts(state.internet.get());
  }
  state.resumeOffered.reset();
  state.serverType.reset();
  const Address target = Redirected(state.connectTo, {.host = state.host, .port = state.port});
  const auto started = Clock::now();
  // WinINet connects and logs in in one call; the password is never shown.
  state.session.reset(InternetConnectW(
      state.internet.get(), Wide(target.host, Stage::Connect).c_str(),
      static_cast<INTERNET_PORT>(target.port), Wide(user, Stage::Login).c_str(),
      Wide(password, Stage::Login).c_str(), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
  if (state.session) {
    state.observer.OnConnected(state.host);
    return state.ReportReply();
  }
  FailedCall call =
      state.Call(Step::Connect, GetLastError(), "Cannot log in to " + state.host, started);
  // Only these errors come with the server's reply: with any other, WinINet's last reply is
  // an older connection's.
  if (call.error == ERROR_INTERNET_LOGIN_FAILURE || call.error == ERROR_INTERNET_EXTENDED_ERROR) {
    call.answer = LastReplyLines();
  }
  const TransportError error = Explain(call);
  if (error.stage() != Stage::Connect) {
    state.observer.OnConnected(state.host);  // a refused or lost login had a connection
  }
  state.Report(error.reply().code != 0 ? call.answer : std::vector<std::string>());
  throw error;
}

void WinInetTransport::SetType(TransferType type) {
  state_->serverType.reset();  // asked for: it goes, whatever the server had
  state_->UseType(type);
}

void WinInetTransport::ChangeDirectory(const std::string& folder) {
  const auto started = std::chrono::steady_clock::now();
  if (!FtpSetCurrentDirectoryW(state_->Session(), Wide(folder, Stage::Command).c_str())) {
    throw state_->Failure("Cannot change to " + folder, started);
  }
  state_->ReportReply();
}

StoreResult WinInetTransport::Store(const std::filesystem::path& local,
                                    const std::string& remoteName, TransferType type,
                                    std::int64_t offset) {
  State& state = *state_;
  const auto started = Clock::now();
  const std::string shown = Utf8FromWide(local.wstring());
  const LocalFile file = OpenLocal(local, shown);
  const std::int64_t size = SizeAndSeek(file.get(), offset, shown);
  // The file goes as its bytes are: a Windows text file already has the CR LF that ASCII
  // mode puts on the wire.
  Internet remote = state.OpenUpload(remoteName, type, offset);
  try {
    state.SendContent(file.get(), size - offset, remote, shown, remoteName);
  } catch (const TransportError&) {
    // A local failure leaves the upload open: closing it ends it, and the server's answer to
    // what was sent shows here, not at the goodbye.
    if (remote && InternetCloseHandle(remote.release())) {
      state.ReportNewReply();
    }
    throw;
  }
  state.FinishUpload(remote, remoteName);
  const std::chrono::duration<double> seconds = Clock::now() - started;
  return StoreResult{.bytesSent = size - offset, .seconds = seconds.count()};
}

std::optional<std::int64_t> WinInetTransport::RemoteSize(const std::string& remoteName) {
  // A size is a count of bytes in binary mode alone (RFC 3659); pyftpdlib refuses SIZE in
  // ASCII, the type a server starts every login in.
  state_->UseType(TransferType::Binary);
  const auto reply = state_->Ask(L"SIZE " + Wide(remoteName, Stage::Command),
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
  const auto started = Clock::now();
  if (!FtpDeleteFileW(state_->Session(), Wide(remoteName, Stage::Command).c_str())) {
    throw state_->Failure("Cannot delete " + remoteName, started);
  }
  state_->ReportReply();
}

void WinInetTransport::Close() noexcept {
  if (state_->session) {
    state_->session.reset();  // WinINet says goodbye (QUIT) as it closes the connection
    try {
      state_->ReportNewReply();
    } catch (const std::exception&) {
      // A goodbye that cannot be shown changes nothing.
    }
  }
  state_->resumeOffered.reset();
}

}  // namespace tunelift::ftp
