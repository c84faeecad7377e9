#pragma once
// What the WinINet transport's tests against the real server share: a transport logged in to
// a fresh pyftpdlib (on 127.0.0.1, started through Wine) with the options a test asks for,
// the replies it reported, and the files the server received.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/wininet_transport.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine_ftp_server_win32.h"

namespace tunelift::ftp::wininet_test {

using Stage = TransportError::Stage;
using test::ReadFile;
using test::TempFolder;
using test::WineFtpServer;

// What the server said, line by line, as the transport reported it.
class Replies final : public TransportObserver {
public:
  void OnConnected(std::string_view) override {}
  void OnReply(std::string_view line) override { lines.emplace_back(line); }
  void OnCommandSent(std::string_view) override {}
  void OnControlEncryption(ControlEncryption) override {}
  void OnProgress(std::int64_t, std::int64_t) override {}

  std::vector<std::string> lines;
};

// Bytes of every value, in an order that shows a piece out of place.
inline std::string Music(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 7 + i / 251) % 256);
  }
  return bytes;
}

class FtpWinInetTransport : public ::testing::Test {
protected:
  // Starts the server with `arguments` and logs in, in binary mode.
  void LogIn(std::vector<std::string> arguments = {}) {
    server_ = std::make_unique<WineFtpServer>(test::WineFtpServerOptions{
        .receiveFolder = received_.path(), .arguments = std::move(arguments)});
    transport_.Open({.host = "127.0.0.1", .port = server_->port()});
    transport_.Login("DeckHopper", "MovingTracks");
    transport_.SetType(TransferType::Binary);
  }

  // Runs `step`, which must throw; returns what it threw.
  template <typename Step>
  TransportError Failure(Step step) {
    try {
      step();
    } catch (const TransportError& error) {
      return error;
    }
    ADD_FAILURE() << "no TransportError";
    return TransportError(Stage::Local, 0, "");
  }

  std::string Received(const std::string& name) const { return ReadFile(received_.path() / name); }

  bool Logged(const std::string& command) const {
    const std::vector<std::string> commands = server_->Commands();
    return std::find(commands.begin(), commands.end(), command) != commands.end();
  }

  TempFolder received_;
  TempFolder local_;
  Replies replies_;
  std::unique_ptr<WineFtpServer> server_;
  WinInetTransport transport_{replies_, {}};  // declared last: it says goodbye first
};

}  // namespace tunelift::ftp::wininet_test
