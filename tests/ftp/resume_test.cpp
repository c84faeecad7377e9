// What the session needs of a transport to carry on after a drop and to check what arrived:
// a store that resumes with REST, the server's size of a file, its FEAT, and DELE. Against
// Debian's pyftpdlib and vsftpd on loopback, as the libcurl transport speaks to them.
#include <gtest/gtest.h>

#include <sstream>

#include "ftp/console.h"
#include "ftp/curl_transport.h"
#include "tests/support/ftp_server.h"
#include "tests/support/local_account.h"
#include "tests/support/vsftpd_server.h"

namespace tunelift::ftp {
namespace {

constexpr const char* kHost = "music.example.net";

// Bytes that no resume at the wrong place could reproduce.
std::string Music(std::size_t size) {
  std::string music(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    music[i] = static_cast<char>((i * 7919 + i / 251) & 0xff);
  }
  return music;
}

class FtpResume : public ::testing::Test {
protected:
  CurlTransport TransportTo(const std::string& connectTo) {
    CurlTransportOptions options;
    options.connectTo = connectTo;
    options.encryption = false;
    return CurlTransport(console_, options);
  }

  // Stores `music` as if its first `held` bytes had arrived before a drop. The part goes
  // through the server, so that its account owns the copy.
  void ResumeAfter(Transport& transport, const std::string& music, std::size_t held) {
    transport.Store(local_.Write("part.mp3", music.substr(0, held)), "song.mp3",
                    TransferType::Binary);
    const std::filesystem::path local = local_.Write("song.mp3", music);
    ASSERT_EQ(transport.RemoteSize("song.mp3"), static_cast<std::int64_t>(held));
    ASSERT_TRUE(transport.ResumeOffered());
    const StoreResult result =
        transport.Store(local, "song.mp3", TransferType::Binary, static_cast<std::int64_t>(held));
    EXPECT_EQ(result.bytesSent, static_cast<std::int64_t>(music.size() - held));
    EXPECT_EQ(transport.RemoteSize("song.mp3"), static_cast<std::int64_t>(music.size()));
  }

  CurlLibrary curl_;
  test::TempFolder received_;
  test::TempFolder local_;
  std::ostringstream transcript_;
  Console console_{
      transcript_,
      ConsoleOptions{.showReplies = true, .showCommands = true, .showProgress = false}};
};

TEST_F(FtpResume, SendsOnlyTheRestAfterRestAndTheServerHoldsTheWholeFile) {
  const test::FtpServer server(received_.path());
  CurlTransport transport = TransportTo(server.ConnectTo(kHost));
  transport.Open({.host = kHost});
  transport.Login(std::string(test::kFtpUser), std::string(test::kFtpPassword));
  transport.SetType(TransferType::Binary);
  const std::string music = Music(300000);

  ResumeAfter(transport, music, 123457);

  EXPECT_TRUE(test::ReadFile(received_.path() / "song.mp3") == music);
  EXPECT_EQ(server.CountOf("REST 123457"), 1u);
  EXPECT_EQ(server.CountOf("FEAT"), 1u);
  // FEAT is asked once per login, whatever the number of resumes.
  EXPECT_TRUE(transport.ResumeOffered());
  EXPECT_EQ(server.CountOf("FEAT"), 1u);
}

TEST_F(FtpResume, ResumesOnVsftpdToo) {
  if (!test::LocalAccount::CanBeMade()) {
    GTEST_SKIP() << test::kNeedsRoot;
  }
  const test::VsftpdServer server({.receiveFolder = received_.path(), .tls = false});
  CurlTransport transport = TransportTo(server.ConnectTo(kHost));
  transport.Open({.host = kHost});
  transport.Login(server.account().name(), server.account().password());
  transport.SetType(TransferType::Binary);
  const std::string music = Music(200000);

  ResumeAfter(transport, music, 65536);

  EXPECT_TRUE(test::ReadFile(received_.path() / "song.mp3") == music);
  EXPECT_EQ(server.CountOf("REST"), 1u);
}

TEST_F(FtpResume, TellsNoSizeForAMissingFileAndDeletesWhatItIsTold) {
  const test::FtpServer server(received_.path());
  CurlTransport transport = TransportTo(server.ConnectTo(kHost));
  transport.Open({.host = kHost});
  transport.Login(std::string(test::kFtpUser), std::string(test::kFtpPassword));
  received_.Write("half.mp3", "half");

  EXPECT_EQ(transport.RemoteSize("missing.mp3"), std::nullopt);
  // In ASCII mode, the session's default, the size is asked in binary: servers refuse it
  // otherwise.
  EXPECT_EQ(transport.RemoteSize("half.mp3"), 4);
  transport.Delete("half.mp3");
  EXPECT_FALSE(std::filesystem::exists(received_.path() / "half.mp3"));
  EXPECT_THROW(transport.Delete("half.mp3"), TransportError);
}

}  // namespace
}  // namespace tunelift::ftp
