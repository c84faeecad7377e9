#pragma once
// The tests' real FTP server for the Windows tests, which run under Wine: Debian's pyftpdlib,
// run by ftp_test_server.py, started by Wine as the Unix program it is. It serves the account
// DeckHopper / MovingTracks with full rights on the receive folder, on 127.0.0.1 at a port the
// system chose, logs every command it receives, and stops when the object goes.
//
//   tunelift::test::TempFolder received;
//   tunelift::test::WineFtpServer server({.receiveFolder = received.path(),
//                                         .arguments = {"--refuse", "STOR b.mp3"}});
//   ... connect to 127.0.0.1 port server.port() ...
//   EXPECT_EQ(server.CountOf("STOR"), 1);

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_folder.h"

namespace tunelift::test {

struct WineFtpServerOptions {
  // Uploads land here; the folder must exist and outlive the server.
  std::filesystem::path receiveFolder;
  // Further options of ftp_test_server.py, as its command line takes them.
  std::vector<std::string> arguments{};
};

class WineFtpServer {
public:
  // Starts the server and returns once it accepts connections. Throws std::system_error
  // when it cannot be started (not under Wine, among others) or does not come up within ten
  // seconds.
  explicit WineFtpServer(const WineFtpServerOptions& options);
  // Stops the server and waits, at most ten seconds, for it to end.
  ~WineFtpServer();
  WineFtpServer(const WineFtpServer&) = delete;
  WineFtpServer& operator=(const WineFtpServer&) = delete;

  int port() const { return port_; }
  // One line per command received, as sent ("STOR a.mp3"), with "CONNECT" for each new
  // control connection; the argument of PASS is never written.
  std::vector<std::string> Commands() const;
  // How many logged commands start with the word `verb` ("USER", "STOR", "CONNECT").
  std::size_t CountOf(std::string_view verb) const;

private:
  void Stop() noexcept;

  TempFolder work_;  // the log, the port and the process number; declared first, so it goes last
  int unixProcess_ = 0;
  int port_ = 0;
};

}  // namespace tunelift::test
