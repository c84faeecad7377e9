// The WinINet transport against a real FTP server (pyftpdlib on 127.0.0.1, started through
// Wine): what reached the server, what it stored, and how each failure reads.
#include "ftp/wininet_transport.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/wine_ftp_server_win32.h"

namespace tunelift::ftp {
namespace {

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
std::string Music(std::size_t size) {
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

TEST_F(FtpWinInetTransport, GivesTheSizeOfAStoredFileAndNoneForAMissingOne) {
  LogIn();
  const std::string music = Music(100000);
  transport_.Store(local_.Write("a.mp3", music), "a.mp3", TransferType::Binary);

  EXPECT_EQ(transport_.RemoteSize("a.mp3"), 100000);
  EXPECT_EQ(transport_.RemoteSize("missing.mp3"), std::nullopt);
  EXPECT_TRUE(Logged("SIZE a.mp3"));
  EXPECT_TRUE(Logged("SIZE missing.mp3"));
  EXPECT_EQ(server_->CountOf("SIZE"), 2);
  EXPECT_EQ(server_->CountOf("TYPE"), 2);  // the binary store left the server in binary mode
  EXPECT_EQ(replies_.lines.back().substr(0, 4), "550 ");
}

TEST_F(FtpWinInetTransport, AsksTheSizeInBinaryModeOnANewLogin) {
  LogIn();
  transport_.Store(local_.Write("a.mp3", "abc"), "a.mp3", TransferType::Binary);
  transport_.Close();
  transport_.Login("DeckHopper", "MovingTracks");  // the server starts in ASCII mode
  EXPECT_EQ(transport_.RemoteSize("a.mp3"), 3);
  const std::vector<std::string> commands = server_->Commands();
  EXPECT_EQ(commands.back(), "SIZE a.mp3");
  EXPECT_EQ(commands[commands.size() - 2], "TYPE I");
}

TEST_F(FtpWinInetTransport, TakesTheSameRefusalTwiceForAnAnswerWhileTheServerAnswers) {
  LogIn();
  EXPECT_EQ(transport_.RemoteSize("missing.mp3"), std::nullopt);
  EXPECT_EQ(transport_.RemoteSize("missing.mp3"), std::nullopt);
  EXPECT_EQ(server_->CountOf("SIZE"), 2);
  EXPECT_EQ(server_->CountOf("NOOP"), 1);  // WinINet's reply alone cannot say it is a new one
}

TEST_F(FtpWinInetTransport, ThrowsADroppedConnectionWhenTheServerHangsUpInsteadOfASize) {
  LogIn({"--hang-up-at", "SIZE a.mp3"});
  const TransportError error = Failure([&] { transport_.RemoteSize("a.mp3"); });
  EXPECT_EQ(error.stage(), Stage::Dropped);
  EXPECT_STREQ(error.what(), "The connection dropped.");
  EXPECT_EQ(error.reply().code, 0);
}

TEST_F(FtpWinInetTransport, ResumesAStoreAfterRestSoThatTheFileArrivesWhole) {
  LogIn();
  const std::string music = Music(300000);
  transport_.Store(local_.Write("part/song.mp3", music.substr(0, 123457)), "song.mp3",
                   TransferType::Binary);
  ASSERT_TRUE(transport_.ResumeOffered());

  const StoreResult result = transport_.Store(local_.Write("song.mp3", music), "song.mp3",
                                              TransferType::Binary, 123457);

  EXPECT_EQ(result.bytesSent, 300000 - 123457);
  EXPECT_TRUE(Received("song.mp3") == music) << "the received file differs";
  EXPECT_TRUE(Logged("REST 123457"));
  EXPECT_EQ(server_->CountOf("STOR"), 2);
  EXPECT_EQ(replies_.lines.back(), "226 Transfer complete.");
}

TEST_F(FtpWinInetTransport, ResumesOnANewLoginInTheTypeOfTheStoreNotTheServersFirst) {
  LogIn();
  const std::string music = Music(5000);
  transport_.Store(local_.Write("part/song.mp3", music.substr(0, 1000)), "song.mp3",
                   TransferType::Binary);
  transport_.Close();
  transport_.Login("DeckHopper", "MovingTracks");  // the server starts in ASCII mode

  transport_.Store(local_.Write("song.mp3", music), "song.mp3", TransferType::Binary, 1000);

  EXPECT_TRUE(Received("song.mp3") == music) << "the received file differs";
  const std::vector<std::string> commands = server_->Commands();
  const auto rest = std::find(commands.begin(), commands.end(), "REST 1000");
  ASSERT_NE(rest, commands.end());
  EXPECT_EQ(*std::prev(rest), "TYPE I");
}

TEST_F(FtpWinInetTransport, ThrowsADropMidUploadAndResumesWhereTheServerStoppedAfterANewLogin) {
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
  const StoreResult result =
      transport_.Store(song, "song.mp3", TransferType::Binary, *stored);

  EXPECT_EQ(result.bytesSent, 800000);
  EXPECT_TRUE(Received("song.mp3") == music) << "the received file differs";
  EXPECT_EQ(server_->CountOf("CONNECT"), 2);
}

TEST_F(FtpWinInetTransport, ThrowsTheServers426AndKeepsTheControlConnection) {
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

TEST_F(FtpWinInetTransport, ReportsTheSizeTheServerGivesEvenWhenItKeptLessThanItTook) {
  // The server answers 226 for a file it cut: only SIZE can tell.
  LogIn({"--keep-half"});
  const StoreResult result =
      transport_.Store(local_.Write("a.mp3", Music(10001)), "a.mp3", TransferType::Binary);
  EXPECT_EQ(result.bytesSent, 10001);
  EXPECT_EQ(transport_.RemoteSize("a.mp3"), 5000);
}

TEST_F(FtpWinInetTransport, GivesNoSizeWhereTheServerHasNoSizeCommand) {
  LogIn({"--no-size"});
  transport_.Store(local_.Write("a.mp3", "abc"), "a.mp3", TransferType::Binary);
  EXPECT_EQ(transport_.RemoteSize("a.mp3"), std::nullopt);
  EXPECT_EQ(replies_.lines.back(), "502 Command not implemented.");
}

TEST_F(FtpWinInetTransport, OffersNoResumeAndSendsNothingWhereTheServerRefusesRest) {
  LogIn({"--refuse-rest"});
  EXPECT_FALSE(transport_.ResumeOffered());
  const std::filesystem::path song = local_.Write("song.mp3", Music(10));
  const TransportError error =
      Failure([&] { transport_.Store(song, "song.mp3", TransferType::Binary, 5); });
  EXPECT_EQ(error.stage(), Stage::Command);
  EXPECT_EQ(error.reply().code, 502);
  EXPECT_EQ(server_->CountOf("STOR"), 0);
}

TEST_F(FtpWinInetTransport, AsksWhetherTheServerResumesOncePerLogin) {
  LogIn();
  EXPECT_TRUE(transport_.ResumeOffered());
  EXPECT_TRUE(transport_.ResumeOffered());
  EXPECT_EQ(server_->CountOf("FEAT"), 1);

  transport_.Close();
  transport_.Login("DeckHopper", "MovingTracks");
  EXPECT_TRUE(transport_.ResumeOffered());
  EXPECT_EQ(server_->CountOf("FEAT"), 2);
}

TEST_F(FtpWinInetTransport, OffersNoResumeWhereTheServerRefusesToRestart) {
  // Wine's WinINet shows only FEAT's last line, so the server is asked to restart at 0.
  LogIn({"--refuse", "REST 0"});
  EXPECT_FALSE(transport_.ResumeOffered());
  EXPECT_TRUE(Logged("FEAT"));
}

TEST_F(FtpWinInetTransport, OffersNoResumeWhereTheServerHasNoFeatures) {
  LogIn({"--refuse", "FEAT"});
  EXPECT_FALSE(transport_.ResumeOffered());
  EXPECT_EQ(server_->CountOf("REST"), 0);
}

TEST_F(FtpWinInetTransport, SendsNothingWhenTheServerRefusesTheRestartPosition) {
  LogIn({"--refuse", "REST 5"});
  const std::filesystem::path song = local_.Write("song.mp3", Music(10));
  const TransportError error =
      Failure([&] { transport_.Store(song, "song.mp3", TransferType::Binary, 5); });
  EXPECT_EQ(error.stage(), Stage::Command);
  EXPECT_STREQ(error.what(), "Cannot resume song.mp3: 550 Refused by the test server.");
  EXPECT_EQ(server_->CountOf("STOR"), 0);
}

TEST_F(FtpWinInetTransport, DeletesAStoredFileAndSaysWhyAMissingOneCannotGo) {
  LogIn();
  transport_.Store(local_.Write("a.mp3", "abc"), "a.mp3", TransferType::Binary);
  transport_.Delete("a.mp3");
  EXPECT_FALSE(std::filesystem::exists(received_.path() / "a.mp3"));
  EXPECT_TRUE(Logged("DELE a.mp3"));

  const TransportError error = Failure([&] { transport_.Delete("a.mp3"); });
  EXPECT_EQ(error.stage(), Stage::Command);
  EXPECT_EQ(error.reply().code, 550);
  EXPECT_EQ(std::string(error.what()), "Cannot delete a.mp3: 550 " + error.reply().text);
}

TEST_F(FtpWinInetTransport, CarriesTheServersReplyWhenItRefusesAFile) {
  LogIn({"--refuse", "STOR b.mp3"});
  const std::filesystem::path b = local_.Write("b.mp3", "b");
  const TransportError error =
      Failure([&] { transport_.Store(b, "b.mp3", TransferType::Binary); });
  EXPECT_EQ(error.stage(), Stage::Command);
  EXPECT_EQ(error.reply().code, 550);
  EXPECT_EQ(error.reply().text, "Refused by the test server.");
  EXPECT_STREQ(error.what(), "Cannot send b.mp3: 550 Refused by the test server.");
  EXPECT_EQ(replies_.lines.back(), "550 Refused by the test server.");
  EXPECT_FALSE(std::filesystem::exists(received_.path() / "b.mp3"));
}

TEST_F(FtpWinInetTransport, CarriesTheServersOwnWordsForTheRefusal) {
  LogIn({"--refuse", "STOR b.mp3", "--refuse-text", "Quota of DeckHopper exceeded."});
  const std::filesystem::path b = local_.Write("b.mp3", "b");
  const TransportError error =
      Failure([&] { transport_.Store(b, "b.mp3", TransferType::Binary); });
  EXPECT_EQ(error.reply().code, 550);
  EXPECT_EQ(error.reply().text, "Quota of DeckHopper exceeded.");
}

TEST_F(FtpWinInetTransport, ThrowsADroppedConnectionWhenTheServerHangsUpAtTheStore) {
  LogIn({"--hang-up-at", "STOR b.mp3"});
  const std::filesystem::path b = local_.Write("b.mp3", "b");
  const TransportError error =
      Failure([&] { transport_.Store(b, "b.mp3", TransferType::Binary); });
  EXPECT_EQ(error.stage(), Stage::Dropped);
  EXPECT_STREQ(error.what(), "The connection dropped.");
  EXPECT_EQ(error.reply().code, 0);
}

TEST_F(FtpWinInetTransport, KeepsTheServersReplyWhenItRefusesTheLogin) {
  server_ = std::make_unique<WineFtpServer>(
      test::WineFtpServerOptions{.receiveFolder = received_.path()});
  transport_.Open({.host = "127.0.0.1", .port = server_->port()});
  const TransportError error = Failure([&] { transport_.Login("DeckHopper", "NotTheTracks"); });
  EXPECT_EQ(error.stage(), Stage::Login);
  EXPECT_EQ(error.reply().code, 530);
  EXPECT_STREQ(error.what(), "Cannot log in to 127.0.0.1: 530 Authentication failed.");
}

TEST_F(FtpWinInetTransport, ThrowsADroppedConnectionWhenTheServerHangsUpDuringTheLogin) {
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
    EXPECT_EQ(std::string(error.what()),
              "Nothing answered on 127.0.0.1 port " + std::to_string(port) +
                  " (connection refused).");
    EXPECT_EQ(error.code(), 12029);  // ERROR_INTERNET_CANNOT_CONNECT
  }
  closesocket(closed);
  WSACleanup();
}

}  // namespace
}  // namespace tunelift::ftp
