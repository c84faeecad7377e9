#include "curl_transport.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <system_error>
#include <utility>

#include "command.h"
#include "curl_easy.h"
#include "curl_events.h"
#include "curl_failure.h"
#include "curl_tls.h"
#include "remote_folder.h"
#include "text/path_split.h"

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;

// libcurl's own default, set on purpose: steps of 256 KiB or 2 MiB measured 15 to 20 % slower
// over loopback (bench/run), though they cost the client less CPU. The client is not what
// limits an upload: in larger steps the server waits longer for each piece.
constexpr long kUploadBufferBytes = 64L << 10;

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// The local file of one upload, read by libcurl through ReadLocalFile: no more than the size
// it had when the upload began, so that a file that keeps growing cannot keep it going.
struct LocalFile {
  std::unique_ptr<std::FILE, FileCloser> handle;
  std::uintmax_t left = 0;
  int readError = 0;
  bool grew = false;
};

size_t ReadLocalFile(char* buffer, size_t size, size_t count, void* user) {
  auto& file = *static_cast<LocalFile*>(user);
  if (file.left == 0) {
    // Anything after the size that was announced would not be the file that was measured.
    char extra = 0;
    file.grew = std::fread(&extra, 1, 1, file.handle.get()) == 1;
    return file.grew ? CURL_READFUNC_ABORT : 0;
  }
  const size_t wanted = static_cast<size_t>(std::min<std::uintmax_t>(size * count, file.left));
  const size_t read = std::fread(buffer, 1, wanted, file.handle.get());
  if (read == 0 && std::ferror(file.handle.get())) {
    file.readError = errno;
    return CURL_READFUNC_ABORT;
  }
  file.left -= read;
  return read;
}

TransportError LocalError(int number, const std::string& what, const std::filesystem::path& path) {
  return TransportError(
      Stage::Local, number,
      what + " " + path.string() + ": " + std::generic_category().message(number));
}

}  // namespace

struct CurlTransport::State {
  State(TransportObserver& reportTo, CurlTransportOptions chosen)
      : options(std::move(chosen)), events(reportTo) {}

  void Start(const Endpoint& server);
  void UseTls(curl::CertificateCheck check);
  void Stop() noexcept;
  void Request(const std::string& url, bool upload, curl_slist* quote,
               curl_slist* beforeTransfer = nullptr);
  void LogIn();
  void Perform(Stage during);
  CURLcode Transfer();
  void Check(CURLcode code, Stage during);
  long TimeoutFor(Stage during) const;
  // Runs `commands` on the server, in the current folder.
  void Quote(curl::List commands);
  std::string Url(const RemoteFolder& in, const std::string& file) const;
  StoreResult Upload(LocalFile& file, TransferType type, const std::string& url,
                     std::int64_t offset);

  const CurlTransportOptions options;
  curl::Events events;
  // The lists are declared before the handle: they must outlive it.
  curl::List connectTo;
  curl::List quote;
  curl::Multi multi;  // made before the handle, cleaned up after it
  curl::Easy easy;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  std::string host;
  int port = 21;
  std::string pinnedKey;
  bool encryptionRefused = false;  // Endpoint::encryptionRefused
  curl::CertificateCheck check = curl::CertificateCheck::Authority;
  RemoteFolder folder;
  bool loggedIn = false;
  std::optional<bool> resumeOffered;            // from FEAT, asked once per login
  TransferType lastType = TransferType::Ascii;  // of the last upload, which libcurl keeps
};

void CurlTransport::State::Start(const Endpoint& server) {
  host = server.host;
  port = server.port;
  pinnedKey = server.pinnedKey;
  encryptionRefused = server.encryptionRefused && pinnedKey.empty();
  folder = {};
  resumeOffered.reset();
  multi = curl::NewMulti();
  easy = curl::NewEasy();
  CURL* handle = easy.get();
  curl::Set(handle, CURLOPT_ERRORBUFFER, errorBuffer);
  events.Attach(handle, host);
  curl::Set(handle, CURLOPT_NOSIGNAL, 1L);
  curl::Set(handle, CURLOPT_PROTOCOLS_STR, "ftp");
  curl::Set(handle, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
  curl::Set(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl::Set(handle, CURLOPT_LOW_SPEED_TIME, options.stallSeconds);
  curl::Set(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, options.stallSeconds);
  curl::Set(handle, CURLOPT_FTP_USE_EPSV, 1L);  // EPSV first, PASV where refused
  UseTls(pinnedKey.empty() ? curl::CertificateCheck::Authority : curl::CertificateCheck::PinnedKey);
  if (!options.connectTo.empty()) {
    connectTo = curl::SingleEntryList(options.connectTo);
    curl::Set(handle, CURLOPT_CONNECT_TO, connectTo.get());
  }
}

void CurlTransport::State::UseTls(curl::CertificateCheck chosen) {
  check = chosen;
  curl::ApplyTls(easy.get(), {.enabled = options.encryption && !encryptionRefused,
                              .check = check,
                              .pinnedKey = pinnedKey,
                              .caFile = options.caFile});
  events.ExpectIdentityChecked(check != curl::CertificateCheck::None);
}

void CurlTransport::State::Stop() noexcept {
  if (loggedIn) {
    try {
      // libcurl sends QUIT when it drops a connection; forbidding reuse makes it drop this one
      // at the end of a request of ours, so the goodbye passes through our callbacks.
      curl::Set(easy.get(), CURLOPT_FORBID_REUSE, 1L);
      Request(Url(folder, {}), false, nullptr);
      Perform(Stage::Command);
    } catch (const std::exception&) {
      // A goodbye the server did not hear changes nothing: the connection closes either way.
    }
  }
  // Clean-up in reverse order of set-up: the handle, the multi handle, then the lists.
  easy.reset();
  multi.reset();
  quote.reset();
  connectTo.reset();
  events.Reset();
  loggedIn = false;
}

void CurlTransport::State::Request(const std::string& url, bool upload, curl_slist* commands,
                                   curl_slist* beforeTransfer) {
  curl::Set(easy.get(), CURLOPT_URL, url.c_str());
  // Without a body the request only connects, logs in, changes folder and runs `commands`.
  curl::Set(easy.get(), CURLOPT_NOBODY, upload ? 0L : 1L);
  curl::Set(easy.get(), CURLOPT_UPLOAD, upload ? 1L : 0L);
  curl::Set(easy.get(), CURLOPT_QUOTE, commands);
  curl::Set(easy.get(), CURLOPT_PREQUOTE, beforeTransfer);
}

void CurlTransport::State::Quote(curl::List commands) {
  quote = std::move(commands);
  Request(Url(folder, {}), false, quote.get());
  Perform(Stage::Command);
}

void CurlTransport::State::LogIn() {
  CURLcode code = Transfer();
  if (check == curl::CertificateCheck::Authority && curl::FailedOnlyTheIdentityCheck(code)) {
    // The server offers encryption but cannot prove who it is (a self-signed certificate, as
    // home servers have): encrypted without proof beats plain FTP, which proves nothing
    // either. The transcript says which it was.
    events.DiscardHeld();
    UseTls(curl::CertificateCheck::None);
    code = Transfer();
  }
  Check(code, Stage::Login);
}

void CurlTransport::State::Perform(Stage during) {
  Check(Transfer(), during);
}

CURLcode CurlTransport::State::Transfer() {
  errorBuffer[0] = '\0';
  events.ForgetReplies();
  return curl::Perform(multi.get(), easy.get());
}

void CurlTransport::State::Check(CURLcode code, Stage during) {
  events.FinishTransfer();
  if (code == CURLE_OK) {
    return;
  }
  curl::FailedTransfer failure{
      .code = code,
      .libraryWords = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code),
      .connected = loggedIn};
  if (curl_easy_getinfo(easy.get(), CURLINFO_OS_ERRNO, &failure.systemReason) != CURLE_OK) {
    failure.systemReason = 0;
  }
  TransportError error = curl::DescribeFailure(
      failure, {.host = host, .port = port, .timeoutSeconds = TimeoutFor(during)}, events, during);
  // libcurl has dropped the connection: a goodbye would only connect and log in again.
  const Stage stage = error.stage();
  loggedIn =
      loggedIn && stage != Stage::Connect && stage != Stage::Login && stage != Stage::Dropped;
  throw error;
}

long CurlTransport::State::TimeoutFor(Stage during) const {
  return loggedIn || during != Stage::Login ? options.stallSeconds : options.connectTimeoutSeconds;
}

std::string CurlTransport::State::Url(const RemoteFolder& in, const std::string& file) const {
  return curl::FtpUrl(easy.get(), host, port, in.absolute, in.segments, file);
}

StoreResult CurlTransport::State::Upload(LocalFile& file, TransferType type, const std::string& url,
                                         std::int64_t offset) {
  CURL* handle = easy.get();
  curl::Set(handle, CURLOPT_READFUNCTION, &ReadLocalFile);
  curl::Set(handle, CURLOPT_READDATA, &file);
  curl::Set(handle, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferBytes);
  // libcurl itself turns each LF into CR LF in ASCII mode and counts the added bytes.
  curl::Set(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(file.left));
  curl::Set(handle, CURLOPT_TRANSFERTEXT, type == TransferType::Ascii ? 1L : 0L);
  lastType = type;
  // Resuming: REST goes just before the data connection and STOR, and the server adds what
  // follows to what it holds. (libcurl's own resume would send APPE, which not every server
  // that keeps a partial file treats alike.)
  curl::List restart;
  if (offset > 0) {
    restart = curl::SingleEntryList("REST " + std::to_string(offset));
  }
  Request(url, true, nullptr, restart.get());
  std::exception_ptr failure;
  try {
    Perform(Stage::Command);
  } catch (...) {
    failure = std::current_exception();
  }
  curl::Set(handle, CURLOPT_READDATA, nullptr);  // `file` ends with this call
  curl::Set(handle, CURLOPT_PREQUOTE, nullptr);  // and so does `restart`
  if (failure) {
    std::rethrow_exception(failure);
  }
  StoreResult result;
  result.bytesSent = curl::Info<curl_off_t>(handle, CURLINFO_SIZE_UPLOAD_T);
  result.seconds = static_cast<double>(curl::Info<curl_off_t>(handle, CURLINFO_TOTAL_TIME_T)) / 1e6;
  return result;
}

CurlLibrary::CurlLibrary() {
  const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (code != CURLE_OK) {
    throw TransportError(Stage::Connect, code, curl_easy_strerror(code));
  }
}

CurlLibrary::~CurlLibrary() {
  curl_global_cleanup();
}

CurlTransport::CurlTransport(TransportObserver& observer, CurlTransportOptions options)
    : state_(std::make_unique<State>(observer, std::move(options))) {}

CurlTransport::~CurlTransport() {
  Close();
}

bool CurlTransport::CanEncrypt() const {
  return state_->options.encryption && curl::LibraryHasTls();
}

void CurlTransport::Open(const Endpoint& server) {
  Close();
  if (!server.pinnedKey.empty() && !CanEncrypt()) {
    // The session never asks this; should a caller, nothing may go out in clear.
    throw TransportError(Stage::Connect, CURLE_NOT_BUILT_IN,
                         "This client cannot encrypt, but the key of " + server.host +
                             "'s server is pinned: nothing was sent.");
  }
  try {
    state_->Start(server);
    state_->Url(state_->folder, {});  // a name libcurl cannot take fails here, not at login
  } catch (...) {
    Close();
    throw;
  }
}

void CurlTransport::Login(const std::string& user, const std::string& password) {
  try {
    curl::Set(state_->easy.get(), CURLOPT_USERNAME, user.c_str());
    curl::Set(state_->easy.get(), CURLOPT_PASSWORD, password.c_str());
    state_->Request(state_->Url(state_->folder, {}), false, nullptr);
    state_->LogIn();
    state_->loggedIn = true;
  } catch (...) {
    Close();
    throw;
  }
}

Encryption CurlTransport::EncryptionInUse() const {
  if (!state_->loggedIn || !state_->events.encrypted()) {
    return Encryption::None;
  }
  return state_->events.filesEncrypted() ? Encryption::Everything : Encryption::CommandsOnly;
}

void CurlTransport::SetType(TransferType type) {
  state_->quote = curl::SingleEntryList(type == TransferType::Binary ? "TYPE I" : "TYPE A");
  state_->Request(state_->Url(state_->folder, {}), false, state_->quote.get());
  state_->Perform(Stage::Command);
}

void CurlTransport::ChangeDirectory(const std::string& folder) {
  const RemoteFolder target = state_->folder.Changed(folder);
  state_->Request(state_->Url(target, {}), false, nullptr);
  state_->Perform(Stage::Command);
  state_->folder = target;
}

StoreResult CurlTransport::Store(const std::filesystem::path& local, const std::string& remoteName,
                                 TransferType type, std::int64_t offset) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(local, error);
  if (error) {
    throw LocalError(error.value(), "Cannot send", local);
  }
  if (offset < 0 || static_cast<std::uintmax_t>(offset) > size) {
    throw TransportError(Stage::Local, EINVAL, "Cannot resume " + local.string() + " past its end");
  }
  LocalFile file;
  file.left = size - static_cast<std::uintmax_t>(offset);
  file.handle.reset(std::fopen(local.c_str(), "rb"));
  if (!file.handle) {
    throw LocalError(errno, "Cannot open", local);
  }
  if (offset > 0 && fseeko(file.handle.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
    throw LocalError(errno, "Cannot read", local);
  }
  const PathSplit split = SplitFolderAndName(remoteName, "/");
  const RemoteFolder target =
      split.hasFolder ? state_->folder.Changed(remoteName.substr(0, split.folder.size() + 1))
                      : state_->folder;
  const std::string url = state_->Url(target, std::string(split.name));
  try {
    return state_->Upload(file, type, url, offset);
  } catch (const TransportError&) {
    if (file.readError != 0) {
      throw LocalError(file.readError, "Cannot read", local);
    }
    if (file.grew) {
      throw TransportError(Stage::Local, EFBIG,
                           "Cannot send " + local.string() + ": it grew while it was sent");
    }
    throw;
  }
}

std::optional<std::int64_t> CurlTransport::RemoteSize(const std::string& remoteName) {
  // libcurl goes on after a quoted command that starts with "*" and fails. Many servers give
  // no size in ASCII mode: it is asked in binary, and libcurl's type restored behind it.
  if (state_->lastType == TransferType::Ascii) {
    state_->Quote(curl::ListOf({"*TYPE I", "*SIZE " + remoteName, "TYPE A"}));
  } else {
    state_->Quote(curl::SingleEntryList("*SIZE " + remoteName));
  }
  // The SIZE reply: "213 " and the size, the only 213 among the replies.
  const std::vector<std::string>& replies = state_->events.repliesSinceForget();
  const auto sizeReply = std::ranges::find_if(
      replies, [](const std::string& line) { return line.starts_with("213 "); });
  if (sizeReply == replies.end()) {
    return std::nullopt;  // no such file, or no SIZE command: the server cannot tell
  }
  std::int64_t size = 0;
  const char* begin = sizeReply->data() + 4;
  const char* end = sizeReply->data() + sizeReply->size();
  const auto [last, failure] = std::from_chars(begin, end, size);
  return failure == std::errc() && last == end ? std::optional(size) : std::nullopt;
}

bool CurlTransport::ResumeOffered() {
  if (!state_->resumeOffered) {
    state_->Quote(curl::SingleEntryList("*FEAT"));
    state_->resumeOffered =
        std::ranges::any_of(state_->events.repliesSinceForget(), [](const std::string& line) {
          return Lowercase(line).find(" rest stream") != std::string::npos;
        });
  }
  return *state_->resumeOffered;
}

void CurlTransport::Delete(const std::string& remoteName) {
  state_->Quote(curl::SingleEntryList("DELE " + remoteName));
}

void CurlTransport::Close() noexcept {
  state_->Stop();
}

}  // namespace tunelift::ftp
