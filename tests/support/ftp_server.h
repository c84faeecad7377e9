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
#include <cstdint>
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
  // The words after "550 " for `refuse` (empty: the server's own, the same as this default).
  std::string refuseText = "Refused by the test server.";
  // Commands, as sent, on which the server closes the control connection without a reply.
  std::vector<std::string> hangUpAt{};
  // The first upload (STOR or APPE, on any connection) to receive this many bytes: the
  // server closes its data and its control connection at once, without a reply. The file
  // keeps exactly those bytes. Once per server; 0: never.
  std::int64_t dropAfterBytes = 0;
  // The first upload to receive this many bytes: the server closes its data connection and
  // answers "426 Connection closed; transfer aborted."; the control connection stays up.
  // The file keeps exactly those bytes. Once per server; 0: never.
  std::int64_t resetDataAfterBytes = 0;
  // Every completed upload keeps only the first half of its bytes (rounded down) before
  // the server answers 226; what the file held before (APPE, REST) stays.
  bool keepHalf = false;
  // REST is answered "502 Command not implemented." and FEAT does not offer "REST STREAM".
  bool refuseRest = false;
  // SIZE is answered "502 Command not implemented." and FEAT does not offer SIZE.
  bool noSize = false;
  // Uploads are received no faster than this many bytes a second (pyftpdlib lets the first
  // second's worth through at once); 0: as fast as they come. Over TLS a throttled upload
  // can end short behind a 226 (see ftp_test_server.py): slow sends that check bytes go plain.
  std::int64_t readLimit = 0;
  // At most this many control connections from one address at once: one more is answered
  // "421 Too many connections from the same IP address." and closed. 0: no limit.
  std::int64_t maxConnectionsPerAddress = 0;
  // Every reply is held back this long, as a distant server's would arrive; the server serves
  // the other connections meanwhile. 0: at once.
  std::int64_t replyDelayMilliseconds = 0;
  // The control connections after the first this many (over the server's life) are closed
  // at once, before any greeting. 0: none.
  std::int64_t closeConnectionsAfter = 0;
  // The logins after the first this many (over the server's life) are refused with
  // "530 Too many logins for this user." 0: none.
  std::int64_t refuseLoginsAfter = 0;
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
