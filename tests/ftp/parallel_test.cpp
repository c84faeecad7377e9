// An mput over several connections at once, against real servers on loopback: one that takes
// only two connections from an address, one that refuses the later logins, one that drops a
// connection in the middle of a file, one whose replies come late. What arrives is compared
// byte for byte, and the transcript and the report are read as a user and the window read them.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ftp/curl_transport.h"
#include "ftp/run.h"
#include "tests/support/ftp_server.h"

namespace tunelift::ftp {
namespace {

using namespace std::chrono_literals;

constexpr const char* kHost = "music.example.net";
constexpr const char* kToolScript =
    "prompt\nopen music.example.net\nDeckHopper\nMovingTracks\nbinary\nmput temp\\*.mp3\nbye\n";

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

std::size_t Occurrences(const std::string& text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// Bytes that only a whole and right copy (or a resume at the right place) reproduces.
std::string Music(std::size_t size, unsigned seed) {
  std::string music(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& c : music) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return music;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

class FtpParallel : public ::testing::Test {
protected:
  int Send(const test::FtpServer& server, std::size_t connections,
           const std::string& script = kToolScript) {
    std::istringstream in(script);
    const RunEnvironment environment{.inputIsTerminal = false,
                                     .outputIsTerminal = false,
                                     .currentFolder = local_.path(),
                                     .reportPath = local_.path() / "send.report",
                                     .reconnectWaits = {10ms, 20ms, 30ms},
                                     .connections = connections};
    CurlTransportOptions options;
    options.connectTo = server.ConnectTo(kHost);
    const TransportMaker transports = [options](TransportObserver& observer) {
      return std::make_unique<CurlTransport>(observer, options);
    };
    return tunelift::ftp::Run({}, environment, transports, in, out_, err_);
  }

  // Stages `count` files of different sizes, the largest last in the list; returns their names.
  std::vector<std::string> StageSongs(int count, std::size_t smallest) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
      names.push_back("song" + std::to_string(10 + i) + ".mp3");
      local_.Write("temp/" + names.back(), Music(smallest + i * 10'000, i));
    }
    return names;
  }
  void ExpectArrivedWhole(const std::vector<std::string>& names) const {
    for (const std::string& name : names) {
      EXPECT_TRUE(test::ReadFile(received_.path() / name) ==
                  test::ReadFile(local_.path() / "temp" / name))
          << name;
    }
  }
  std::string Report() const { return test::ReadFile(local_.path() / "send.report"); }
  void ExpectReportedVerified(const std::vector<std::string>& names) const {
    for (const std::string& name : names) {
      const std::string size =
          std::to_string(std::filesystem::file_size(local_.path() / "temp" / name));
      EXPECT_TRUE(
          Contains(Report(), "file\t" + name + "\t" + size + "\t" + size + "\tverified\t0\t\t\n"))
          << name << "\n"
          << Report();
    }
    EXPECT_TRUE(Report().ends_with("end\t0\n")) << Report();
  }

  // Every "ftp: " line is a file's summary: no failure of any kind was told.
  void ExpectNoFailure() const {
    for (const std::string& line : Lines(out_.str())) {
      EXPECT_TRUE(!line.starts_with("ftp: ") || Contains(line, " bytes sent in ")) << line;
    }
  }

  CurlLibrary curl_;
  test::TempFolder local_;
  test::TempFolder received_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(FtpParallel, GoesOnWithTheTwoConnectionsAServerTakesAndSendsEveryFileWhole) {
  const test::FtpServer server({.receiveFolder = received_.path(), .maxConnectionsPerAddress = 2});
  const std::vector<std::string> names = StageSongs(12, 50'000);

  EXPECT_EQ(Send(server, 4), 0) << out_.str();

  ExpectArrivedWhole(names);
  ExpectReportedVerified(names);
  EXPECT_EQ(Occurrences(out_.str(),
                        "The server did not take 2 of 4 connections (421 Too many "
                        "connections from the same IP address.): going on with 2 "
                        "connections.\n"),
            1u)
      << out_.str();
  EXPECT_EQ(server.CountOf("USER"), 2u);
  EXPECT_EQ(server.CountOf("STOR"), 12u);
  ExpectNoFailure();
}

TEST_F(FtpParallel, GoesOnAloneWhenTheServerRefusesEveryLoginButTheFirst) {
  const test::FtpServer server({.receiveFolder = received_.path(), .refuseLoginsAfter = 1});
  const std::vector<std::string> names = StageSongs(5, 20'000);

  EXPECT_EQ(Send(server, 3), 0) << out_.str();

  ExpectArrivedWhole(names);
  ExpectReportedVerified(names);
  EXPECT_EQ(Occurrences(out_.str(),
                        "The server did not take 2 of 3 connections (530 Too many "
                        "logins for this user.): going on with 1 connection.\n"),
            1u)
      << out_.str();
  EXPECT_EQ(server.CountOf("STOR"), 5u);
  ExpectNoFailure();
}

TEST_F(FtpParallel, GoesOnAloneWhenTheServerClosesEveryOtherConnectionAtOnce) {
  const test::FtpServer server({.receiveFolder = received_.path(), .closeConnectionsAfter = 1});
  const std::vector<std::string> names = StageSongs(5, 20'000);

  EXPECT_EQ(Send(server, 4), 0) << out_.str();

  ExpectArrivedWhole(names);
  ExpectReportedVerified(names);
  EXPECT_EQ(Occurrences(out_.str(), "The server did not take 3 of 4 connections ("), 1u)
      << out_.str();
  EXPECT_EQ(Occurrences(out_.str(), "): going on with 1 connection.\n"), 1u) << out_.str();
  EXPECT_EQ(server.CountOf("CONNECT"), 4u);
  EXPECT_EQ(server.CountOf("USER"), 1u);
  ExpectNoFailure();
}

TEST_F(FtpParallel, ResumesTheFileWhoseConnectionDroppedAndLeavesTheOtherFilesAlone) {
  const test::FtpServer server({.receiveFolder = received_.path(), .dropAfterBytes = 2'000'000});
  std::vector<std::string> names = StageSongs(6, 200'000);
  local_.Write("temp/big.mp3", Music(3'000'000, 99));
  names.push_back("big.mp3");

  EXPECT_EQ(Send(server, 3), 0) << out_.str();

  ExpectArrivedWhole(names);
  ExpectReportedVerified(names);
  EXPECT_TRUE(Contains(out_.str(), "Resuming big.mp3 at byte 2000000 of 3000000.\n")) << out_.str();
  const std::vector<std::string> commands = server.Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "REST 2000000"), 1);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "STOR big.mp3"), 2);
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "STOR " + names[i]), 1) << names[i];
  }
  // The three connections and the one that took the dropped one's place.
  EXPECT_EQ(server.CountOf("USER"), 4u);
}

TEST_F(FtpParallel, HandsTheFileOfAConnectionThatCannotComeBackToAnother) {
  // Slow enough that both connections are logged in before the drop; the login that would
  // bring the dropped one back is refused.
  const test::FtpServer server({.receiveFolder = received_.path(),
                                .dropAfterBytes = 2'000'000,
                                .readLimit = 1'000'000,
                                .refuseLoginsAfter = 2});
  std::vector<std::string> names = StageSongs(3, 10'000);
  local_.Write("temp/big.mp3", Music(3'000'000, 99));
  names.push_back("big.mp3");

  EXPECT_EQ(Send(server, 2), 0) << out_.str();

  ExpectArrivedWhole(names);
  ExpectReportedVerified(names);
  EXPECT_TRUE(Contains(out_.str(),
                       " cannot come back, so big.mp3 goes to the other "
                       "connections: The password was not accepted (530 Too many "
                       "logins for this user.).\n"))
      << out_.str();
  const std::vector<std::string> commands = server.Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "STOR big.mp3"), 2);
  EXPECT_EQ(server.CountOf("USER"), 3u);
  ExpectNoFailure();
}

TEST_F(FtpParallel, SendsEachWrongCopyAgainAndDeletesItOnTheConnectionThatSentIt) {
  const test::FtpServer server({.receiveFolder = received_.path(), .keepHalf = true});
  const std::vector<std::string> names = StageSongs(4, 10'000);

  EXPECT_EQ(Send(server, 3), 1) << out_.str();

  const std::vector<std::string> commands = server.Commands();
  for (const std::string& name : names) {
    const std::string size =
        std::to_string(std::filesystem::file_size(local_.path() / "temp" / name));
    const std::string held = std::to_string(std::stoll(size) / 2);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "STOR " + name), 2) << name;
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "DELE " + name), 1) << name;
    EXPECT_FALSE(std::filesystem::exists(received_.path() / name)) << name;
    EXPECT_TRUE(Contains(Report(), "\tfailed\t0\t\tThe server holds " + held + " bytes of " + name +
                                       ", which has " + size + ": it was not stored whole.\n"))
        << Report();
  }
  EXPECT_TRUE(Report().ends_with("end\t1\n")) << Report();
}

TEST_F(FtpParallel, WritesEachFilesLinesTogetherWhileTheRepliesComeLate) {
  const test::FtpServer server({.receiveFolder = received_.path(), .replyDelayMilliseconds = 20});
  const std::vector<std::string> names = StageSongs(8, 30'000);

  EXPECT_EQ(Send(server, 4), 0) << out_.str();

  ExpectArrivedWhole(names);
  // Each file's block: its heading, the server's replies to its commands, its summary, and
  // nothing of another file's in between.
  const std::vector<std::string> lines = Lines(out_.str());
  std::size_t blocks = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].starts_with("Sending ")) {
      continue;
    }
    ++blocks;
    std::vector<std::string> codes;
    std::size_t end = i + 1;
    for (; end < lines.size() && !lines[end].starts_with("ftp: "); ++end) {
      EXPECT_FALSE(lines[end].starts_with("Sending ")) << out_.str();
      codes.push_back(lines[end].substr(0, 3));
    }
    ASSERT_LT(end, lines.size()) << out_.str();
    EXPECT_TRUE(lines[end].starts_with("ftp: ") && Contains(lines[end], " bytes sent in "));
    EXPECT_EQ(codes.back(), "213") << out_.str();
    EXPECT_NE(std::find(codes.begin(), codes.end(), "226"), codes.end()) << out_.str();
  }
  EXPECT_EQ(blocks, names.size()) << out_.str();
  for (const std::string& name : names) {
    EXPECT_EQ(Occurrences(out_.str(), "Sending " + name + " over connection "), 1u) << name;
  }
  EXPECT_EQ(server.CountOf("USER"), 4u) << out_.str();
}

TEST_F(FtpParallel, SendsTheLargestFileFirst) {
  const test::FtpServer server({.receiveFolder = received_.path()});
  const std::vector<std::string> names = StageSongs(5, 10'000);

  EXPECT_EQ(Send(server, 2), 0) << out_.str();

  // The session's own connection is logged in already, so it takes the first file handed
  // out; which STOR the server sees first depends on how the two connections race.
  const std::vector<std::string> lines = Lines(out_.str());
  const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.starts_with("Sending ") && line.ends_with(" over connection 1.");
  });
  ASSERT_NE(first, lines.end()) << out_.str();
  EXPECT_EQ(*first, "Sending " + names.back() + " over connection 1.");
}

TEST_F(FtpParallel, StaysOnOneConnectionWhenEachFileIsAskedAbout) {
  const test::FtpServer server({.receiveFolder = received_.path()});
  const std::vector<std::string> names = StageSongs(3, 10'000);
  const std::string script =
      "open music.example.net\nDeckHopper\nMovingTracks\nbinary\nmput temp\\*.mp3\ny\ny\ny\nbye\n";

  EXPECT_EQ(Send(server, 4, script), 0) << out_.str();

  ExpectArrivedWhole(names);
  EXPECT_EQ(server.CountOf("CONNECT"), 1u);
  EXPECT_FALSE(Contains(out_.str(), "over connection")) << out_.str();
}

}  // namespace
}  // namespace tunelift::ftp
