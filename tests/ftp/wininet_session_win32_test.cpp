// The session over the transport Windows has. WinINet cannot encrypt, so the build's pinned
// host is refused before anything is sent: no connection, no user name.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "ftp/console.h"
#include "ftp/line_reader.h"
#include "ftp/session.h"
#include "ftp/wininet_transport.h"

namespace tunelift::ftp {
namespace {

// A well-formed pin of a key no server has (the SHA-256 digest of nothing but zeros).
constexpr const char* kPinnedKey = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

TEST(FtpWinInetSession, OpensNoConnectionToThePinnedHost) {
  std::ostringstream out;
  Console console(out, {.showReplies = true, .showCommands = true, .showProgress = false});
  // Were a connection tried, it would go to a port where nothing listens.
  WinInetTransport transport(console, {.connectTo = "::127.0.0.1:1"});
  std::istringstream in("open MUSIC.example.net.\nDeckHopper\nMovingTracks\nbye\n");
  LineReader input(in);
  SendReport report({});
  Session session(transport, console, input, report,
                  {.localFolder = std::filesystem::current_path(),
                   .pin = {.host = "music.example.net", .key = kPinnedKey}});

  EXPECT_EQ(session.Run(""), 1);
  EXPECT_EQ(out.str(),
            "ftp> open MUSIC.example.net.\n"
            "ftp: This build pins the key of MUSIC.example.net.'s server and so requires "
            "encryption, but this FTP client cannot encrypt: nothing was sent, not even the user "
            "name.\n"
            "ftp> bye\n");
}

TEST(FtpWinInetSession, RefusesAPinnedKeyItWouldHaveToSendInClear) {
  std::ostringstream out;
  Console console(out, {});
  WinInetTransport transport(console, {.connectTo = "::127.0.0.1:1"});
  try {
    transport.Open({.host = "music.example.net", .port = 21, .pinnedKey = kPinnedKey});
    FAIL() << "a transport that cannot encrypt must not take a pinned key";
  } catch (const TransportError& error) {
    EXPECT_EQ(error.stage(), TransportError::Stage::Connect);
    EXPECT_NE(std::string(error.what()).find("nothing was sent"), std::string::npos);
  }
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace tunelift::ftp
