#pragma once
// The transport over WinINet, Windows' own FTP client library. One connection handle serves
// the whole session, so every transfer goes over one control connection and one login.
// Passive mode; binary and ASCII types. What WinINet cannot do:
// - encrypt: it has no FTP over TLS, so the session, password included, goes in clear
//   (CanEncrypt() is false: the session says so before the login, and refuses a host whose
//   key the build pins);
// - show the dialogue: of what the server says, only the last reply of each step can be read
//   (Wine's WinINet keeps only that reply's last line), and the commands WinINet sends are not
//   shown at all (-d adds nothing here);
// - abort an upload: closing the file's handle ends it, and the server keeps what came;
// - say why a connection dropped: a lost control connection and a lost data connection look
//   alike, except that the server may still answer "426" on the control connection.
// A store resumes with "REST offset" sent on its own before FtpOpenFileW, which then sends
// TYPE and PASV before STOR: servers keep the restart position across those.

#include <memory>
#include <string>

#include "transport.h"

namespace tunelift::ftp {

struct WinInetTransportOptions {
  // TUNELIFT_FTP_CONNECT_TO in libcurl's form (see connect_to.h); empty: none.
  std::string connectTo;
  unsigned long connectTimeoutSeconds = 30;
  // A server that does not answer, or a transfer that moves nothing, for this long fails.
  unsigned long stallSeconds = 60;
};

class WinInetTransport final : public Transport {
public:
  // `observer` must outlive the transport.
  WinInetTransport(TransportObserver& observer, WinInetTransportOptions options);
  ~WinInetTransport() override;
  WinInetTransport(const WinInetTransport&) = delete;
  WinInetTransport& operator=(const WinInetTransport&) = delete;

  bool CanEncrypt() const override { return false; }
  // Never given a pinned key: the session opens no pinned host over a transport that cannot
  // encrypt.
  void Open(const Endpoint& server) override;
  void Login(const std::string& user, const std::string& password) override;
  Encryption EncryptionInUse() const override { return Encryption::None; }
  void SetType(TransferType type) override;
  void ChangeDirectory(const std::string& folder) override;
  StoreResult Store(const std::filesystem::path& local, const std::string& remoteName,
                    TransferType type, std::int64_t offset = 0) override;
  // SIZE goes in binary mode: "TYPE I" goes first unless the server has it already (after a
  // binary store it has), and the server stays in it.
  std::optional<std::int64_t> RemoteSize(const std::string& remoteName) override;
  // Where WinINet shows only FEAT's last line (Wine), the features cannot be read: the server
  // is then asked "REST 0" in binary mode (and left in it), which restarts nothing, and its
  // acceptance is the answer.
  bool ResumeOffered() override;
  void Delete(const std::string& remoteName) override;
  void Close() noexcept override;

private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tunelift::ftp
