#pragma once
// A real FTP server on loopback for tests: Debian's pyftpdlib, run by ftp_test_server.py as
// a child process. It serves the account DeckHopper / MovingTracks with full rights on the
// receive folder, on 127.0.0.1 at a port the system chose, logs every command it receives,
// and stops when the object goes.
//
//   tunelift::test::TempFolder received;
//   tunelift::test::FtpServer server(received.path());
//   ... run the client with TUNELIFT_FTP_CONNECT_TO=server.ConnectTo("music.example.net") ...
//   EXPECT_EQ(server.CountOf("USER"), 1);

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace tunelift::test {

inline constexpr std::string_view kFtpUser = "DeckHopper";
inline constexpr std::string_view kFtpPassword = "MovingTracks";

struct FtpServerOptions {
  // Uploads land here; the folder must exist and outlive the server.
  std::filesystem::path receiveFolder;
  // Offers explicit TLS (AUTH TLS) with a self-signed certificate made for `tlsHostName`;
  // a client trusts it only through certificatePath().
  bool tls = false;
  std::string tlsHostName = "localhost";
  // Stores ASCII-mode uploads exactly as they came off the wire (as a server whose own line
  // end is CR LF would), so a test sees the line ends the client sent.
  bool keepAsciiBytes = false;
  // With tls: accepts AUTH TLS but refuses PROT P, so the files go in clear.
  bool refuseProtP = false;
  // Greets with "220 " and these bytes, whatever they are (empty: the usual greeting).
  std::string banner{};
  // Commands, as sent ("STOR b.mp3"), answered with 550.
  std::vector<std::string> refuse{};
  // Commands, as sent, on which the server closes the control connection without a reply.
  std::vector<std::string> hangUpAt{};
};

class FtpServer {
public:
  // Starts the server and returns once it accepts connections. Throws std::system_error
  // when it cannot be started or does not come up within ten seconds.
  explicit FtpServer(const std::filesystem::path& receiveFolder);
  explicit FtpServer(const FtpServerOptions& options);

  int port() const { return port_; }
  // One line per command received, as sent ("STOR a.mp3", "TYPE I"), with "CONNECT" for each
  // new control connection; the argument of PASS is never written ("PASS ******").
  const std::filesystem::path& commandLogPath() const { return commandLog_; }
  // The lines of the command log so far.
  std::vector<std::string> Commands() const;
  // How many logged commands start with the word `verb` ("USER", "STOR", "CONNECT").
  std::size_t CountOf(std::string_view verb) const;
  // The PEM file holding the server's certificate (with tls only).
  const std::filesystem::path& certificatePath() const { return certificate_; }
  // The TUNELIFT_FTP_CONNECT_TO value that sends connections for `host` port 21 here.
  std::string ConnectTo(std::string_view host) const;

private:
  TempFolder work_;  // the log and the certificate; declared first, so it goes last
  std::filesystem::path commandLog_;
  std::filesystem::path certificate_;
  ChildProcess process_;
  int port_ = 0;
};

}  // namespace tunelift::test
