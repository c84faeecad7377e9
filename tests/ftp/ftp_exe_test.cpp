// The built ftp.exe as Tunelift starts it: a real process on the tool's own script, its
// connections sent to a real FTP server on loopback while the script names the real host.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/child_process.h"
#include "tests/support/ftp_server.h"
#include "tests/support/loopback.h"

namespace tunelift::ftp {
namespace {

constexpr const char* kHost = "music.example.net";

// The upload script as the tool writes it: one command a line, CR LF after each.
std::string Script(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += std::string(line) + "\r\n";
  }
  return text;
}

std::string ToolScript() {
  return Script({"prompt", "open music.example.net", "DeckHopper", "MovingTracks", "binary",
                 "mput temp\\*.mp3", "bye"});
}

// Every byte value, then runs of CR, LF and CR LF, often enough to cross buffer boundaries.
std::string AwkwardBytes() {
  std::string block;
  for (int value = 0; value < 256; ++value) {
    block += static_cast<char>(value);
  }
  block += "\r\r\r\n\n\n\r\n\r\nend\r";
  std::string bytes;
  for (int copy = 0; copy < 400; ++copy) {
    bytes += block;
  }
  return bytes;
}

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

class FtpExe : public ::testing::Test {
protected:
  // Runs ftp.exe in the program folder on `script`, its connections sent to `port`.
  test::ProgramResult Run(int port, const std::string& script,
                          std::vector<std::string> arguments = {"-s:sendfiles.ftps"}) {
    program_.Write("sendfiles.ftps", script);
    const std::string connectTo = std::string(kHost) + ":21:127.0.0.1:" + std::to_string(port);
    return test::RunProgram({.program = FTP_EXE,
                             .arguments = std::move(arguments),
                             .environment = {{"TUNELIFT_FTP_CONNECT_TO", connectTo}},
                             .input = "",
                             .workingFolder = program_.path()});
  }

  void Stage(const std::string& name, std::string_view content) {
    program_.Write("temp/" + name, content);
  }

  std::vector<std::string> Received() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(received_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempFolder program_;
  test::TempFolder received_;
};

TEST_F(FtpExe, SendsByteIdenticalCopiesOfEveryStagedMp3AndNothingElse) {
  test::FtpServer server(received_.path());
  const std::string awkward = AwkwardBytes();
  Stage("SONG.MP3", awkward);
  Stage("Ünïcödé and spaces.mp3", std::string(awkward.rbegin(), awkward.rend()));
  Stage("voice.wav", "not music for the station");

  const test::ProgramResult result = Run(server.port(), ToolScript());

  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Received(), (std::vector<std::string>{"SONG.MP3", "Ünïcödé and spaces.mp3"}));
  EXPECT_EQ(test::ReadFile(received_.path() / "SONG.MP3"), awkward);
  EXPECT_EQ(test::ReadFile(received_.path() / "Ünïcödé and spaces.mp3"),
            std::string(awkward.rbegin(), awkward.rend()));
  EXPECT_GT(server.CountOf("TYPE I"), 0u);
  EXPECT_EQ(server.CountOf("TYPE I"), server.CountOf("TYPE"));
  EXPECT_EQ(server.CountOf("STOR"), 2u);
  EXPECT_TRUE(Contains(result.output, "Connected to music.example.net."));
  EXPECT_TRUE(Contains(result.output, "ftp: " + std::to_string(awkward.size()) + " bytes sent in "));
}

TEST_F(FtpExe, SendsTwoHundredFilesOverOneConnectionAndOneLogin) {
  test::FtpServer server(received_.path());
  for (int number = 0; number < 200; ++number) {
    Stage("track " + std::to_string(1000 + number) + ".mp3", std::to_string(number));
  }
  const test::ProgramResult result = Run(server.port(), ToolScript());

  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Received().size(), 200u);
  EXPECT_EQ(server.CountOf("CONNECT"), 1u);
  EXPECT_EQ(server.CountOf("USER"), 1u);
  EXPECT_EQ(server.CountOf("STOR"), 200u);
}

TEST_F(FtpExe, DamagesTheFileWithoutTheScriptsBinaryLine) {
  // A server that keeps CR LF line ends as they arrive, as one on Windows does.
  test::FtpServer server({.receiveFolder = received_.path(), .tls = false,
                          .tlsHostName = "localhost", .keepAsciiBytes = true});
  const std::string awkward = AwkwardBytes();
  Stage("a.mp3", awkward);
  ASSERT_EQ(Run(server.port(), ToolScript()).exitCode, 0);
  EXPECT_EQ(test::ReadFile(received_.path() / "a.mp3"), awkward);

  const test::ProgramResult ascii = Run(server.port(), Script({"prompt", "open music.example.net",
      "DeckHopper", "MovingTracks", "mput temp\\*.mp3", "bye"}));
  EXPECT_EQ(ascii.exitCode, 0) << ascii.output;
  EXPECT_NE(test::ReadFile(received_.path() / "a.mp3"), awkward);
}

TEST_F(FtpExe, EndsWithStatusOneAndSendsNothingAfterAWrongPassword) {
  test::FtpServer server(received_.path());
  Stage("a.mp3", "a");
  const test::ProgramResult result = Run(server.port(), Script({"prompt",
      "open music.example.net", "DeckHopper", "NotTheTracks", "binary", "mput temp\\*.mp3", "bye"}));

  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.errors, "");  // the transcript, failures included, is on standard output
  EXPECT_TRUE(Received().empty());
  EXPECT_EQ(server.CountOf("STOR"), 0u);
  EXPECT_TRUE(Contains(result.output, "Login failed."));
  EXPECT_TRUE(Contains(result.output, "ftp> mput temp\\*.mp3\nftp: Not connected."));
}

TEST_F(FtpExe, FailsOnARefusedConnectionWithoutRunningTheLoginLines) {
  const test::LoopbackPort closed(test::LoopbackPort::Behaviour::Refusing);
  Stage("a.mp3", "a");
  const test::ProgramResult result = Run(closed.port(), ToolScript());

  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.errors, "");
  EXPECT_TRUE(Contains(result.output, "Connection refused"));
  EXPECT_FALSE(Contains(result.output, "DeckHopper"));
  EXPECT_FALSE(Contains(result.output, "Invalid command"));
  EXPECT_TRUE(Contains(result.output, "ftp> mput temp\\*.mp3\nftp: Not connected."));
}

TEST_F(FtpExe, RefusesALoginThatHoldsAControlCharacter) {
  test::FtpServer server(received_.path());
  Stage("a.mp3", "a");
  for (const std::string& password : {std::string("Moving\rDELE a.mp3"), std::string("Moving\0Tracks", 13)}) {
    const test::ProgramResult result = Run(server.port(), Script({"prompt",
        "open music.example.net", "DeckHopper", password, "binary", "mput temp\\*.mp3", "bye"}));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(Contains(result.output, "Refusing a user name or password"));
  }
  EXPECT_EQ(server.CountOf("USER"), 0u);
  EXPECT_EQ(server.CountOf("PASS"), 0u);
}

TEST_F(FtpExe, NeverShowsThePasswordNotEvenWithDebugOutput) {
  test::FtpServer server(received_.path());
  Stage("a.mp3", "a");
  const test::ProgramResult prompted = Run(server.port(), ToolScript(), {"-d", "-s:sendfiles.ftps"});
  const test::ProgramResult typed = Run(server.port(),
      Script({"open music.example.net", "user DeckHopper MovingTracks", "bye"}),
      {"-d", "-n", "-s:sendfiles.ftps"});

  EXPECT_EQ(prompted.exitCode, 0) << prompted.output;
  EXPECT_EQ(typed.exitCode, 0) << typed.output;
  EXPECT_TRUE(Contains(prompted.output, "---> USER DeckHopper\n331"));
  EXPECT_TRUE(Contains(prompted.output, "---> PASS ****\n230"));
  EXPECT_TRUE(Contains(typed.output, "ftp> user DeckHopper ****\n"));
  EXPECT_FALSE(Contains(prompted.output + prompted.errors + typed.output + typed.errors, "Moving"));
}

TEST_F(FtpExe, AnswersUsageErrorsWithStatusTwo) {
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {"-x"}, {"-s:"}, {"-s:sendfiles.ftps", "one", "two"}, {"host", "-v"}}) {
    const test::ProgramResult result = Run(0, "bye\r\n", arguments);
    EXPECT_EQ(result.exitCode, 2) << arguments.front();
    EXPECT_TRUE(Contains(result.errors, "ftp.exe [-v] [-d] [-i] [-n] [-s:filename] [host]"));
    EXPECT_EQ(result.output, "");
  }
}

}  // namespace
}  // namespace tunelift::ftp
