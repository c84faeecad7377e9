#include "wininet_upload.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;
using Step = FailedCall::Step;

[[noreturn]] void FailLocally(const std::string& what, const std::string& shown) {
  const DWORD code = GetLastError();
  throw TransportError(Stage::Local, static_cast<int>(code),
                       what + " " + shown + ": " + WinInetWords(code));
}

// The data connection failed with `error` while `remote` was being written: closes it, and
// throws what the server said to that (a "426"), or that the connection dropped.
[[noreturn]] void UploadBroken(WinInetControl& control, Internet& remote, DWORD error,
                               const std::string& remoteName, WinInetClock::time_point started) {
  const FailedCall call = control.Call(Step::Transfer, error, "Cannot send " + remoteName, started);
  InternetCloseHandle(remote.release());
  throw control.Explained(call);
}

// Writes all of `data`, or throws as UploadBroken does.
void Write(WinInetControl& control, Internet& remote, const char* data, DWORD size,
           const std::string& remoteName) {
  while (size > 0) {
    const auto started = WinInetClock::now();
    DWORD written = 0;
    const bool wrote = InternetWriteFile(remote.get(), data, size, &written) != FALSE;
    if (!wrote || written == 0) {
      // A data connection that takes nothing, and says nothing, is as good as aborted.
      UploadBroken(control, remote, wrote ? ERROR_INTERNET_CONNECTION_ABORTED : GetLastError(),
                   remoteName, started);
    }
    data += written;
    size -= written;
  }
}

}  // namespace

LocalFile OpenLocal(const std::filesystem::path& local, const std::string& shown) {
  const HANDLE opened = CreateFileW(local.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    FailLocally("Cannot open", shown);
  }
  return LocalFile(opened);
}

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

Internet OpenUpload(WinInetControl& control, const std::string& remoteName, TransferType type,
                    std::int64_t offset) {
  const std::wstring name = WideFor(remoteName, Stage::Command);
  if (offset > 0) {
    // A server may take REST in one type only (pyftpdlib refuses it in ASCII): the type goes
    // first, though FtpOpenFileW sends it again. Servers keep the restart position through
    // the TYPE and PASV that FtpOpenFileW sends before STOR.
    control.UseType(type);
    control.Ask(L"REST " + std::to_wstring(offset), "Cannot resume " + remoteName, true);
  }
  const auto started = WinInetClock::now();
  Internet remote(FtpOpenFileW(
      control.Session(), name.c_str(), GENERIC_WRITE,
      (type == TransferType::Binary ? FTP_TRANSFER_TYPE_BINARY : FTP_TRANSFER_TYPE_ASCII) |
          INTERNET_FLAG_RELOAD,
      0));
  if (!remote) {
    const TransportError error = control.Failure("Cannot send " + remoteName, started);
    if (offset > 0 && error.stage() == Stage::Command) {
      // The restart position would otherwise stay for the next STOR. The error above is the
      // one to report: should REST 0 fail too, the connection is lost, and a new login
      // starts without the position.
      control.SendQuietly(L"REST 0");
    }
    throw error;
  }
  control.NoteReply();  // STOR's "150": the transfer starts, nothing to show yet
  control.TypeSent(type);
  return remote;
}

void SendContent(WinInetControl& control, HANDLE file, std::int64_t size, Internet& remote,
                 const std::string& shown, const std::string& remoteName) {
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
    Write(control, remote, buffer.data(), got, remoteName);
    sent += got;
    control.observer().OnProgress(sent, size);
  }
  // Anything after the measured size would not be the file that was measured. WinINet
  // cannot abort an upload: the server keeps what was sent, but it is not reported as sent.
  char extra = 0;
  if (ReadFile(file, &extra, 1, &got, nullptr) && got == 1) {
    throw TransportError(Stage::Local, ERROR_FILE_TOO_LARGE,
                         "Cannot send " + shown + ": it grew while it was sent");
  }
}

void FinishUpload(WinInetControl& control, Internet& remote, const std::string& remoteName) {
  // Wine's WinINet closes the handle without looking at the verdict: it is read here.
  const auto started = WinInetClock::now();
  const bool closed = InternetCloseHandle(remote.release()) != FALSE;
  // Closed without a verdict: the control connection said nothing more.
  const DWORD error = closed ? ERROR_FTP_DROPPED : GetLastError();
  const std::optional<std::vector<std::string>> verdict = control.NewSuccess();
  if (verdict) {
    return control.Report(*verdict);
  }
  throw control.Explained(
      control.Call(Step::Transfer, error, "Cannot finish sending " + remoteName, started));
}

}  // namespace tunelift::ftp
