#pragma once
// One upload over WinINet: the local file read from an offset, the remote file opened (after
// "REST offset"), fed no more than the file's measured size, and finished with the server's
// verdict. Failures throw TransportError, as the transport does.
// For the WinINet transport's own files alone.

#include <cstdint>
#include <filesystem>
#include <string>

#include "wininet_control.h"

namespace tunelift::ftp {

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using LocalFile = std::unique_ptr<void, HandleCloser>;

// Opens `local`, `shown` by that name, for reading.
LocalFile OpenLocal(const std::filesystem::path& local, const std::string& shown);
// The file's size, with the read position moved to `offset` (0 to the size).
std::int64_t SizeAndSeek(HANDLE file, std::int64_t offset, const std::string& shown);

// Opens the upload of `remoteName`, after "REST offset" when there is one.
Internet OpenUpload(WinInetControl& control, const std::string& remoteName, TransferType type,
                    std::int64_t offset);
// Sends the `size` bytes of `file` from where it stands to the upload `remote`: no more, so
// that a file that keeps growing cannot keep the upload going. A local failure leaves
// `remote` open; a failed data connection closes it.
void SendContent(WinInetControl& control, HANDLE file, std::int64_t size, Internet& remote,
                 const std::string& shown, const std::string& remoteName);
// Ends the upload `remote` and shows the server's verdict: a new 2xx reply, or it throws.
void FinishUpload(WinInetControl& control, Internet& remote, const std::string& remoteName);

}  // namespace tunelift::ftp
