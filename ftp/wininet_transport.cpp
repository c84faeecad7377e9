#include "ftp/wininet_transport.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "ftp/connect_to.h"
#include "listing/wide_text_win32.h"

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;

struct InternetCloser {
  void operator()(HINTERNET handle) const noexcept { InternetCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using LocalFile = std::unique_ptr<void, HandleCloser>;

// The system's words for a WinINet or Win32 error number.
std::string Words(DWORD code) {
  const bool wininetError = code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST;
  const std::string words =
      SystemWords(code, wininetError ? GetModuleHandleW(L"wininet.dll") : nullptr);
  return words.empty() ? "WinINet error " + std::to_string(code) : words;
}

// The lines of the last reply WinINet kept for this thread.
std::vector<std::string> LastReply() {
  DWORD code = 0;
  DWORD length = 0;
  InternetGetLastResponseInfoW(&code, nullptr, &length);
  std::wstring text(length + 1, L'\0');
  length = static_cast<DWORD>(text.size());
  if (length <= 1 || !InternetGetLastResponseInfoW(&code, text.data(), &length)) {
    return {};
  }
  text.resize(length);
  while (!text.empty() && text.back() == L'\0') {
    text.pop_back();  // some WinINets count the terminator in the length
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of(L"\r\n", start);
    end = end == std::wstring::npos ? text.size() : end;
    if (end > start) {
      lines.push_back(Utf8FromWide(std::wstring_view(text).substr(start, end - start)));
    }
    start = end + 1;
  }
  return lines;
}

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

}  // namespace

struct WinInetTransport::State {
  State(TransportObserver& reportTo, WinInetTransportOptions chosen)
      : observer(reportTo), options(std::move(chosen)),
        connectTo(ParseConnectTo(options.connectTo)) {}

  // Reports the server's last reply to the step that just ended.
  void ReportReply() {
    lastReply = LastReply();
    for (const std::string& line : lastReply) {
      observer.OnReply(line);
    }
  }

  // Reports the reply to the step that just ended where WinINet kept a new one (the last
  // reply changed): a goodbye, or the end of an upload cut short.
  void ReportNewReply() {
    const std::vector<std::string> reply = LastReply();
    if (reply != lastReply) {
      ReportReply();
    }
  }

  // The error of the step that just failed. Where the server refused it, its reply is the
  // reason; otherwise WinINet's last reply may be an older step's, and is not shown.
  [[noreturn]] void Fail(Stage stage, const std::string& what) {
    const DWORD code = GetLastError();
    const bool serverSaidNo =
        code == ERROR_INTERNET_EXTENDED_ERROR || code == ERROR_INTERNET_LOGIN_FAILURE;
    const std::vector<std::string> reply = serverSaidNo ? LastReply() : std::vector<std::string>();
    if (!reply.empty()) {
      ReportReply();
    }
    throw TransportError(stage, static_cast<int>(code),
                         what + ": " + (reply.empty() ? Words(code) : reply.back()));
  }

  void SetTimeouts(HINTERNET handle) const {
    DWORD connect = options.connectTimeoutSeconds * 1000;
    DWORD stall = options.stallSeconds * 1000;
    InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
    InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &stall, sizeof stall);
  }

  // Sends the `size` bytes of `file`, `shown` by that name, to the upload `remote`: no more,
  // so that a file that keeps growing cannot keep the upload going.
  void SendContent(HANDLE file, std::int64_t size, HINTERNET remote, const std::string& shown,
                   const std::string& remoteName) {
    std::vector<char> buffer(64 * 1024);
    std::int64_t sent = 0;
    DWORD got = 0;
    while (sent < size) {
      const auto wanted = static_cast<DWORD>(
          std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()), size - sent));
      if (!ReadFile(file, buffer.data(), wanted, &got, nullptr)) {
        const DWORD code = GetLastError();
        throw TransportError(Stage::Local, static_cast<int>(code),
                             "Cannot read " + shown + ": " + Words(code));
      }
      if (got == 0) {
        throw TransportError(Stage::Local, ERROR_HANDLE_EOF,
                             "Cannot send " + shown + ": it shrank while it was sent");
      }
      DWORD written = 0;
      if (!InternetWriteFile(remote, buffer.data(), got, &written) || written != got) {
        Fail(Stage::Command, "Cannot send " + remoteName);
      }
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
  std::vector<std::string> lastReply;
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
      state.Fail(Stage::Connect, "Cannot start WinINet");
    }
    state.SetTimeouts(state.internet.get());
  }
  const Address target = Redirected(state.connectTo, {.host = state.host, .port = state.port});
  // WinINet connects and logs in in one call; the password is never shown.
  state.session.reset(InternetConnectW(
      state.internet.get(), Wide(target.host, Stage::Connect).c_str(),
      static_cast<INTERNET_PORT>(target.port), Wide(user, Stage::Login).c_str(),
      Wide(password, Stage::Login).c_str(), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
  const DWORD code = GetLastError();
  // A refused login came over a connection that was made.
  const bool refused = !state.session && (code == ERROR_INTERNET_LOGIN_FAILURE ||
                                          code == ERROR_INTERNET_EXTENDED_ERROR);
  if (state.session || refused) {
    state.observer.OnConnected(state.host);
  }
  if (!state.session) {
    SetLastError(code);
    state.Fail(refused ? Stage::Login : Stage::Connect, "Cannot log in to " + state.host);
  }
  state.ReportReply();
}

void WinInetTransport::SetType(TransferType type) {
  const wchar_t* command = type == TransferType::Binary ? L"TYPE I" : L"TYPE A";
  if (!FtpCommandW(state_->Session(), FALSE, TypeFlag(type), command, 0, nullptr)) {
    state_->Fail(Stage::Command, "Cannot set the transfer type");
  }
  state_->ReportReply();
}

void WinInetTransport::ChangeDirectory(const std::string& folder) {
  if (!FtpSetCurrentDirectoryW(state_->Session(), Wide(folder, Stage::Command).c_str())) {
    state_->Fail(Stage::Command, "Cannot change to " + folder);
  }
  state_->ReportReply();
}

StoreResult WinInetTransport::Store(const std::filesystem::path& local,
                                    const std::string& remoteName, TransferType type) {
  const auto started = std::chrono::steady_clock::now();
  const HANDLE opened = CreateFileW(local.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  const LocalFile file(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) {
    const DWORD code = GetLastError();
    throw TransportError(Stage::Local, static_cast<int>(code),
                         "Cannot open " + Utf8FromWide(local.wstring()) + ": " + Words(code));
  }
  // The file goes as its bytes are: a Windows text file already has the CR LF that ASCII
  // mode puts on the wire.
  Internet remote(FtpOpenFileW(state_->Session(), Wide(remoteName, Stage::Command).c_str(),
                                     GENERIC_WRITE, TypeFlag(type) | INTERNET_FLAG_RELOAD, 0));
  if (!remote) {
    state_->Fail(Stage::Command, "Cannot send " + remoteName);
  }
  try {
    state_->SendContent(file.get(), size.QuadPart, remote.get(), Utf8FromWide(local.wstring()),
                        remoteName);
  } catch (const TransportError&) {
    // WinINet cannot abort an upload: closing the handle ends it, and the server's answer to
    // what was sent shows here, not at the goodbye.
    if (InternetCloseHandle(remote.release())) {
      state_->ReportNewReply();
    }
    throw;
  }
  // Closing the file's handle ends the transfer and reads the server's verdict.
  if (!InternetCloseHandle(remote.release())) {
    state_->Fail(Stage::Command, "Cannot finish sending " + remoteName);
  }
  state_->ReportReply();
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
  return StoreResult{.bytesSent = size.QuadPart, .seconds = seconds.count()};
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
  state_->lastReply.clear();
}

}  // namespace tunelift::ftp
