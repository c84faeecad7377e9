// The WinINet transport against a real FTP server (pyftpdlib on 127.0.0.1, started through
// Wine): what reached the server and what it stored, for sizes, resumed stores and deletes.
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

TEST_F(FtpWinInetTransport, ResumesAStoreAfterRestSoThatTheFileArrivesWhole) {
  LogIn();
  const std::string music = Music(300000);
  transport_.Store(local_.Write("part/song.mp3", music.substr(0, 123457)), "song.mp3",
                   TransferType::Binary);
  ASSERT_TRUE(transport_.ResumeOffered());

  const StoreResult result =
      transport_.Store(local_.Write("song.mp3", music), "song.mp3", TransferType::Binary, 123457);

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
  const TransportError error = Failure([&] { transport_.Store(b, "b.mp3", TransferType::Binary); });
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
  const TransportError error = Failure([&] { transport_.Store(b, "b.mp3", TransferType::Binary); });
  EXPECT_EQ(error.reply().code, 550);
  EXPECT_EQ(error.reply().text, "Quota of DeckHopper exceeded.");
}

}  // namespace
}  // namespace tunelift::ftp::wininet_test
