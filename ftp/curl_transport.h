#pragma once
// The transport over libcurl. One easy handle serves the whole session, so libcurl keeps one
// control connection and one login for every transfer to the same server. Encryption is
// asked for (AUTH TLS) and used wherever the server agrees, whether or not its certificate
// can be verified; with a pinned key it is required and the key must match (curl_tls.h).

#include <memory>
#include <string>

#include "transport.h"

namespace tunelift::ftp {

// libcurl's process-wide set-up and clean-up: one object, made by main before any transport
// and before any other thread starts. Throws TransportError when libcurl cannot start.
class CurlLibrary {
public:
  CurlLibrary();
  ~CurlLibrary();
  CurlLibrary(const CurlLibrary&) = delete;
  CurlLibrary& operator=(const CurlLibrary&) = delete;
};

struct CurlTransportOptions {
  // In libcurl's connect-to form HOST:PORT:CONNECT-HOST:CONNECT-PORT: connections to
  // HOST:PORT go to CONNECT-HOST:CONNECT-PORT, while names and certificates stay HOST's.
  // Empty: every connection goes where the script says.
  std::string connectTo;
  // A PEM file of the certificates to trust instead of the system's; empty: the system's.
  std::string caFile;
  // false: plain FTP only, as a client without TLS (CanEncrypt answers false).
  bool encryption = true;
  long connectTimeoutSeconds = 30;
  // A transfer that moves nothing, or a server that does not answer, for this long fails.
  long stallSeconds = 60;
};

class CurlTransport final : public Transport {
public:
  // `observer` must outlive the transport: closing still reports the server's goodbye.
  CurlTransport(TransportObserver& observer, CurlTransportOptions options);
  ~CurlTransport() override;
  CurlTransport(const CurlTransport&) = delete;
  CurlTransport& operator=(const CurlTransport&) = delete;

  bool CanEncrypt() const override;
  void Open(const Endpoint& server) override;
  void Login(const std::string& user, const std::string& password) override;
  Encryption EncryptionInUse() const override;
  void SetType(TransferType type) override;
  void ChangeDirectory(const std::string& folder) override;
  StoreResult Store(const std::filesystem::path& local, const std::string& remoteName,
                    TransferType type, std::int64_t offset = 0) override;
  std::optional<std::int64_t> RemoteSize(const std::string& remoteName) override;
  bool ResumeOffered() override;
  void Delete(const std::string& remoteName) override;
  void Close() noexcept override;

private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tunelift::ftp
