// The client against servers that misbehave for real: connections that drop part way, a
// server that keeps half of what it stores, one that cannot resume, one that refuses a file,
// and local files that change while they are sent. What arrives is compared byte for byte,
// and the report is read as the window reads it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "ftp/curl_transport.h"
#include "ftp/run.h"
#include "tests/support/ftp_server.h"

namespace tunelift::ftp {
namespace {

using namespace std::chrono_literals;

constexpr const char* kHost = "music.example.net";
constexpr const char* kToolScript =
    "prompt\nopen music.example.net\nDeckHopper\nMovingTracks\nbinary\nmput temp\\*.mp3\nbye\n";
constexpr const char* kAsciiScript =
    "prompt\nopen music.example.net\nDeckHopper\nMovingTracks\nmput temp\\*.mp3\nbye\n";

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// Bytes that only a resume at the right place reproduces, with line ends among them.
std::string Music(std::size_t size, unsigned seed) {
  std::string music(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& c : music) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return music;
}

class FtpCarryOn : public ::testing::Test {
protected:
  int Send(const test::FtpServer& server, const std::string& script) {
    std::istringstream in(script);
    const RunEnvironment environment{.inputIsTerminal = false,
                                     .outputIsTerminal = false,
                                     .currentFolder = local_.path(),
                                     .reportPath = local_.path() / "send.report",
                                     .reconnectWaits = {10ms, 20ms, 30ms}};
    CurlTransportOptions options;
    options.connectTo = server.ConnectTo(kHost);
    const TransportMaker transports = [options](TransportObserver& observer) {
      return std::make_unique<CurlTransport>(observer, options);
    };
    return tunelift::ftp::Run({}, environment, transports, in, out_, err_);
  }

  std::string Stage(const std::string& name, const std::string& content) {
    local_.Write("temp/" + name, content);
    return content;
  }
  std::string Received(const std::string& name) const {
    return test::ReadFile(received_.path() / name);
  }
  std::string Report() const { return test::ReadFile(local_.path() / "send.report"); }

  CurlLibrary curl_;
  test::TempFolder local_;
  test::TempFolder received_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(FtpCarryOn, ResumesAFileCutShortWithRestAndSendsTheFilesAfterIt) {
  const test::FtpServer server({.receiveFolder = received_.path(), .dropAfterBytes = 2'000'000});
  const std::string big = Stage("a.mp3", Music(3'000'000, 1));
  const std::string next = Stage("b.mp3", Music(100'000, 2));

  EXPECT_EQ(Send(server, kToolScript), 0) << out_.str();

  EXPECT_TRUE(Received("a.mp3") == big);
  EXPECT_TRUE(Received("b.mp3") == next);
  EXPECT_TRUE(Contains(out_.str(),
                       "The connection dropped while a.mp3 was sent; connecting "
                       "again in 0 s (try 1 of 3).\n"))
      << out_.str();
  EXPECT_TRUE(Contains(out_.str(), "Resuming a.mp3 at byte 2000000 of 3000000.\n")) << out_.str();
  EXPECT_EQ(server.CountOf("REST 2000000"), 1u);
  EXPECT_EQ(server.CountOf("CONNECT"), 2u);
  EXPECT_TRUE(Contains(Report(), "file\ta.mp3\t3000000\t3000000\tverified\t0\t\t\n")) << Report();
  EXPECT_TRUE(Report().ends_with("end\t0\n"));
}

TEST_F(FtpCarryOn, SendsAgainFromTheStartWhereTheServerCannotResume) {
  const test::FtpServer server(
      {.receiveFolder = received_.path(), .dropAfterBytes = 500'000, .refuseRest = true});
  const std::string song = Stage("a.mp3", Music(1'000'000, 3));

  EXPECT_EQ(Send(server, kToolScript), 0) << out_.str();

  EXPECT_TRUE(Received("a.mp3") == song);
  EXPECT_TRUE(Contains(out_.str(),
                       "The server cannot resume a file (no REST STREAM): a.mp3 is "
                       "sent again from the start.\n"))
      << out_.str();
  EXPECT_EQ(server.CountOf("REST"), 0u);
}

TEST_F(FtpCarryOn, AnAsciiScriptSendsAFileCutShortAgainAndItArrivesWhole) {
  const test::FtpServer server({.receiveFolder = received_.path(), .dropAfterBytes = 1'000'000});
  const std::string song = Stage("a.mp3", Music(3'000'000, 4));

  EXPECT_EQ(Send(server, kAsciiScript), 0) << out_.str();

  EXPECT_TRUE(Received("a.mp3") == song);
  EXPECT_TRUE(Contains(out_.str(), "a.mp3 is sent again from the start (in ASCII mode"));
}

TEST_F(FtpCarryOn, ResumesAfterTheDataConnectionIsResetWithA426) {
  const test::FtpServer server(
      {.receiveFolder = received_.path(), .resetDataAfterBytes = 1'500'000});
  const std::string song = Stage("a.mp3", Music(3'000'000, 5));

  EXPECT_EQ(Send(server, kToolScript), 0) << out_.str();

  EXPECT_TRUE(Received("a.mp3") == song);
  EXPECT_TRUE(Contains(out_.str(), "The connection dropped while a.mp3 was sent")) << out_.str();
}

TEST_F(FtpCarryOn, ReportsEveryFileAServerKeepsHalfOfWithBothSizesAndDeletesTheCopies) {
  const test::FtpServer server({.receiveFolder = received_.path(), .keepHalf = true});
  Stage("a.mp3", Music(1000, 6));
  Stage("b.mp3", Music(3000, 7));

  EXPECT_EQ(Send(server, kToolScript), 1);

  EXPECT_TRUE(Contains(out_.str(),
                       "The server holds 500 bytes of a.mp3, which has 1000: "
                       "sending it again.\n"))
      << out_.str();
  EXPECT_TRUE(Contains(out_.str(),
                       "ftp: The server holds 500 bytes of a.mp3, which has 1000: it "
                       "was not stored whole.\n"));
  EXPECT_TRUE(Contains(out_.str(),
                       "ftp: The server holds 1500 bytes of b.mp3, which has 3000: it "
                       "was not stored whole.\n"));
  EXPECT_EQ(server.CountOf("STOR a.mp3"), 2u);
  EXPECT_FALSE(std::filesystem::exists(received_.path() / "a.mp3"));
  EXPECT_TRUE(Contains(Report(),
                       "\tfailed\t0\t\tThe server holds 1500 bytes of b.mp3, which "
                       "has 3000: it was not stored whole.\n"))
      << Report();
  EXPECT_TRUE(Report().ends_with("end\t1\n"));
}

TEST_F(FtpCarryOn, SaysAFileIsSentButNotVerifiedWhereTheServerTellsNoSize) {
  const test::FtpServer server({.receiveFolder = received_.path(), .noSize = true});
  const std::string song = Stage("a.mp3", Music(5000, 8));

  EXPECT_EQ(Send(server, kToolScript), 0);

  EXPECT_TRUE(Received("a.mp3") == song);
  EXPECT_TRUE(Contains(out_.str(),
                       "a.mp3 was sent, not verified: the server does not tell its "
                       "size.\n"));
  EXPECT_TRUE(Contains(Report(), "file\ta.mp3\t5000\t5000\tsent-not-verified\t"));
}

TEST_F(FtpCarryOn, KeepsTheServersOwnWordsForARefusedFileAndGoesOn) {
  const test::FtpServer server({.receiveFolder = received_.path(),
                                .refuse = {"STOR a.mp3"},
                                .refuseText = "Refused by this server: quota exceeded."});
  Stage("a.mp3", "a");
  Stage("b.mp3", "b");

  EXPECT_EQ(Send(server, kToolScript), 1);

  EXPECT_TRUE(Contains(out_.str(),
                       "ftp: The server refused a.mp3: 550 Refused by this server: "
                       "quota exceeded.\n"));
  EXPECT_EQ(server.CountOf("CONNECT"), 1u);  // an answer, not a drop: nothing is tried again
  EXPECT_EQ(Received("b.mp3"), "b");
  EXPECT_TRUE(Contains(Report(),
                       "file\ta.mp3\t1\t0\tfailed\t550\tRefused by this server: quota "
                       "exceeded.\t"));
}

TEST_F(FtpCarryOn, FailsAFileThatGrowsWhileItIsSentAndDeletesItsCopy) {
  // The server takes the first 400 kB at once, then 400 kB a second: the file grows while
  // the rest is on its way.
  const test::FtpServer server({.receiveFolder = received_.path(), .readLimit = 400'000});
  Stage("a.mp3", Music(1'000'000, 9));
  const std::string next = Stage("b.mp3", "b");
  std::thread grower([this] {
    std::this_thread::sleep_for(300ms);
    std::ofstream(local_.path() / "temp" / "a.mp3", std::ios::app) << Music(1'000'000, 10);
  });

  EXPECT_EQ(Send(server, kToolScript), 1);
  grower.join();

  EXPECT_TRUE(Contains(out_.str(), "ftp: a.mp3 changed while it was sent.\n")) << out_.str();
  EXPECT_FALSE(std::filesystem::exists(received_.path() / "a.mp3"));
  EXPECT_EQ(Received("b.mp3"), next);
}

TEST_F(FtpCarryOn, AScriptThatCannotBeOpenedIsToldInTheReportToo) {
  const std::filesystem::path missing = local_.path() / "sendfiles.ftps";
  const std::string argument = "-s:" + missing.string();
  const std::string_view arguments[] = {argument};
  std::istringstream in;
  const RunEnvironment environment{.currentFolder = local_.path(),
                                   .reportPath = local_.path() / "send.report"};
  const TransportMaker none = [](TransportObserver&) -> std::unique_ptr<Transport> {
    ADD_FAILURE() << "no transport is made without a script";
    return nullptr;
  };

  EXPECT_EQ(tunelift::ftp::Run(arguments, environment, none, in, out_, err_), kExitFailure);

  EXPECT_TRUE(Contains(Report(), "failure\t0\t\tCannot open the script " + missing.string() +
                                     ": No such file or directory\n"))
      << Report();
  EXPECT_TRUE(Report().ends_with("end\t1\n"));
}

}  // namespace
}  // namespace tunelift::ftp
