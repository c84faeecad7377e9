#pragma once
// A real vsftpd on loopback for tests: Debian's own server, run in the foreground from a
// configuration file the fixture writes, with a local account made for it (LocalAccount), so
// it needs root. It listens on 127.0.0.1 at a port the system chose, logs every command it
// receives, and stops (with every session it started) when the object goes.
//
//   if (!test::LocalAccount::CanBeMade()) GTEST_SKIP() << test::kNeedsRoot;
//   tunelift::test::TempFolder received;
//   tunelift::test::VsftpdServer server({.receiveFolder = received.path()});
//   ... log in as server.account().name() / server.account().password() ...
//   EXPECT_EQ(server.CountOf("USER"), 0u);

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/local_account.h"
#include "tests/support/temp_folder.h"

namespace tunelift::test {

inline constexpr std::string_view kNeedsRoot =
    "vsftpd logs in through local accounts, and only root can make one for the test";

struct VsftpdOptions {
  // Uploads land here, the account's home; the folder must exist and outlive the server.
  std::filesystem::path receiveFolder;
  // Explicit TLS with a certificate made by openssl, self-signed for `certificateName`.
  // Data connections must reuse the control connection's TLS session (require_ssl_reuse).
  bool tls = true;
  std::string certificateName = "localhost";
  // With tls: the files must go encrypted too (force_local_data_ssl).
  bool forceEncryptedData = true;
};

class VsftpdServer {
public:
  // Starts the server and returns once it listens. Throws std::system_error when it cannot
  // be started or does not listen within ten seconds, with vsftpd's own words.
  explicit VsftpdServer(const VsftpdOptions& options);
  ~VsftpdServer();
  VsftpdServer(const VsftpdServer&) = delete;
  VsftpdServer& operator=(const VsftpdServer&) = delete;

  int port() const { return port_; }
  const LocalAccount& account() const { return *account_; }
  // The commands received, one a line as sent ("USER name", "STOR a.mp3"; the password
  // shows as "PASS <password>"), with "CONNECT" for each new control connection.
  std::vector<std::string> Commands() const;
  // How many received commands start with the word `verb` ("USER", "CONNECT").
  std::size_t CountOf(std::string_view verb) const;
  // The TUNELIFT_FTP_CONNECT_TO value that sends connections for `host` port 21 here.
  std::string ConnectTo(std::string_view host) const;

private:
  TempFolder work_;  // configuration, certificate, log, empty chroot folder: goes last
  std::unique_ptr<LocalAccount> account_;
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

}  // namespace tunelift::test
