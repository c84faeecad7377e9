// The WinINet transport against a real FTP server that misbehaves (pyftpdlib on 127.0.0.1,
// started through Wine): where the session stands after each fault and how the fault reads.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tests/ftp/wininet_transport_fixture_win32.h"

namespace tunelift::ftp::wininet_test {
namespace {

class FtpWinInetFaults : public FtpWinInetTransport {};

TEST_F(FtpWinInetFaults, ThrowsADroppedConnectionWhenTheServerHangsUpInsteadOfASize) {
  LogIn({"--hang-up-at", "SIZE a.mp3"});
  const TransportError error = Failure([&] { transport_.RemoteSize("a.mp3"); });
  EXPECT_EQ(error.stage(), Stage::Dropped);
  EXPECT_STREQ(error.what(), "The connection dropped.");
  EXPECT_EQ(error.reply().code, 0);
}

TEST_F(FtpWinInetFaults, ThrowsADropMidUploadAndResumesWhereTheServerStoppedAfterANewLogin) {
  LogIn({"--drop-after", "200000"});
  const std::string music = Music(1000000);
  const std::filesystem::path song = local_.Write("song.mp3", music);
  const TransportError error =
      Failure([&] { transport_.Store(song, "song.mp3", TransferType::Binary); });
  EXPECT_EQ(error.stage(), Stage::Dropped);
  EXPECT_STREQ(error.what(), "The connection dropped.");
  EXPECT_EQ(error.reply().code, 0);

  transport_.Login("DeckHopper", "MovingTracks");
  EXPECT_EQ(replies_.lines.back(), "230 Login successful.");
  const std::optional<std::int64_t> stored = transport_.RemoteSize("song.mp3");
  ASSERT_EQ(stored, 200000);
  ASSERT_TRUE(transport_.ResumeOffered());
  const StoreResult result = transport_.Store(song, "song.mp3", TransferType::Binary, *stored);

  EXPECT_EQ(result.bytesSent, 800000);
  EXPECT_TRUE(Received("song.mp3") == music) << "the received file differs";
  EXPECT_EQ(server_->CountOf("CONNECT"), 2);
}

TEST_F(FtpWinInetFaults, ThrowsTheServers426AndKeepsTheControlConnection) {
  LogIn({"--reset-data-after", "200000"});
  const std::string music = Music(1000000);
  const std::filesystem::path song = local_.Write("song.mp3", music);
  const TransportError error =
      Failure([&] { transport_.Store(song, "song.mp3", TransferType::Binary); });
  EXPECT_EQ(error.stage(), Stage::Dropped);
  EXPECT_EQ(error.reply().code, 426);
  EXPECT_EQ(error.reply().text, "Connection closed; transfer aborted.");
  EXPECT_STREQ(error.what(),
               "The connection dropped. The server said: 426 Connection closed; transfer "
               "aborted.");
  EXPECT_EQ(replies_.lines.back(), "426 Connection closed; transfer aborted.");

  // No new login: the control connection stayed up.
  EXPECT_EQ(transport_.RemoteSize("song.mp3"), 200000);
  transport_.Store(song, "song.mp3", TransferType::Binary, 200000);
  EXPECT_TRUE(Received("song.mp3") == music) << "the received file differs";
  EXPECT_EQ(server_->CountOf("CONNECT"), 1);

  // A new login ends the old connection before it makes the new one, whose reply shows.
  transport_.Login("DeckHopper", "MovingTracks");
  EXPECT_EQ(replies_.lines.back(), "230 Login successful.");
  EXPECT_EQ(server_->CountOf("CONNECT"), 2);
}

TEST_F(FtpWinInetFaults, ReportsTheSizeTheServerGivesEvenWhenItKeptLessThanItTook) {
  // The server answers 226 for a file it cut: only SIZE can tell.
  LogIn({"--keep-half"});
  const StoreResult result =
      transport_.Store(local_.Write("a.mp3", Music(10001)), "a.mp3", TransferType::Binary);
  EXPECT_EQ(result.bytesSent, 10001);
  EXPECT_EQ(transport_.RemoteSize("a.mp3"), 5000);
}

TEST_F(FtpWinInetFaults, GivesNoSizeWhereTheServerHasNoSizeCommand) {
  LogIn({"--no-size"});
  transport_.Store(local_.Write("a.mp3", "abc"), "a.mp3", TransferType::Binary);
  EXPECT_EQ(transport_.RemoteSize("a.mp3"), std::nullopt);
  EXPECT_EQ(replies_.lines.back(), "502 Command not implemented.");
}

TEST_F(FtpWinInetFaults, OffersNoResumeAndSendsNothingWhereTheServerRefusesRest) {
  LogIn({"--refuse-rest"});
  EXPECT_FALSE(transport_.ResumeOffered());
  const std::filesystem::path song = local_.Write("song.mp3", Music(10));
  const TransportError error =
      Failure([&] { transport_.Store(song, "song.mp3", TransferType::Binary, 5); });
  EXPECT_EQ(error.stage(), Stage::Command);
  EXPECT_EQ(error.reply().code, 502);
  EXPECT_EQ(server_->CountOf("STOR"), 0);
}

TEST_F(FtpWinInetFaults, ThrowsADroppedConnectionWhenTheServerHangsUpAtTheStore) {
  LogIn({"--hang-up-at", "STOR b.mp3"});
  const std::filesystem::path b = local_.Write("b.mp3", "b");
  const TransportError error = Failure([&] { transport_.Store(b, "b.mp3", TransferType::Binary); });
  EXPECT_EQ(error.stage(), Stage::Dropped);
  EXPECT_STREQ(error.what(), "The connection dropped.");
  EXPECT_EQ(error.reply().code, 0);
}

TEST_F(FtpWinInetFaults, KeepsTheServersReplyWhenItRefusesTheLogin) {
  server_ = std::make_unique<WineFtpServer>(
      test::WineFtpServerOptions{.receiveFolder = received_.path()});
  transport_.Open({.host = "127.0.0.1", .port = server_->port()});
  const TransportError error = Failure([&] { transport_.Login("DeckHopper", "NotTheTracks"); });
  EXPECT_EQ(error.stage(), Stage::Login);
  EXPECT_EQ(error.reply().code, 530);
  EXPECT_STREQ(error.what(), "Cannot log in to 127.0.0.1: 530 Authentication failed.");
}

TEST_F(FtpWinInetFaults, ThrowsADroppedConnectionWhenTheServerHangsUpDuringTheLogin) {
  server_ = std::make_unique<WineFtpServer>(test::WineFtpServerOptions{
      .receiveFolder = received_.path(), .arguments = {"--hang-up-at", "USER DeckHopper"}});
  transport_.Open({.host = "127.0.0.1", .port = server_->port()});
  const TransportError error = Failure([&] { transport_.Login("DeckHopper", "MovingTracks"); });
  EXPECT_EQ(error.stage(), Stage::Dropped);
  EXPECT_STREQ(error.what(), "The connection dropped.");
}

TEST(FtpWinInetConnect, SaysThatAnUnknownHostCouldNotBeFound) {
  Replies replies;
  WinInetTransport transport(replies, {});
  // ".invalid" never resolves (RFC 6761): no connection is made anywhere.
  transport.Open({.host = "no-such-host.invalid", .port = 21});
  try {
    transport.Login("DeckHopper", "MovingTracks");
    FAIL() << "an unknown host cannot be reached";
  } catch (const TransportError& error) {
    EXPECT_EQ(error.stage(), Stage::Connect);
    EXPECT_STREQ(error.what(), "The server no-such-host.invalid could not be found.");
    EXPECT_EQ(error.code(), 12007);  // ERROR_INTERNET_NAME_NOT_RESOLVED
  }
}

TEST(FtpWinInetConnect, SaysThatNothingAnsweredOnARefusedPort) {
  WSADATA winsock{};
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
  // Bound, not listening: connections to it are refused.
  const SOCKET closed = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(closed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int length = sizeof address;
  ASSERT_EQ(getsockname(closed, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int port = ntohs(address.sin_port);

  Replies replies;
  WinInetTransport transport(replies, {});
  transport.Open({.host = "127.0.0.1", .port = port});
  try {
    transport.Login("DeckHopper", "MovingTracks");
    ADD_FAILURE() << "nothing listens there";
  } catch (const TransportError& error) {
    EXPECT_EQ(error.stage(), Stage::Connect);
    EXPECT_EQ(std::string(error.what()), "Nothing answered on 127.0.0.1 port " +
                                             std::to_string(port) + " (connection refused).");
    EXPECT_EQ(error.code(), 12029);  // ERROR_INTERNET_CANNOT_CONNECT
  }
  closesocket(closed);
  WSACleanup();
}

}  // namespace
}  // namespace tunelift::ftp::wininet_test
