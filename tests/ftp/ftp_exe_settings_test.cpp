// The built ftp.exe and tunelift.ini beside it, the file Tunelift reads too: its host and
// pinned key make the pinning rule, and a file that cannot be used stops the client before
// it connects anywhere. Real processes, a real FTP server on loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/ftp_server.h"
#include "tests/support/server_key.h"

namespace tunelift::ftp {
namespace {

constexpr const char* kHost = "music.example.net";
// A well-formed pin of a key no test server has.
constexpr const char* kOtherKey = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
const std::string kToolScript =
    "prompt\r\nopen music.example.net\r\nDeckHopper\r\nMovingTracks\r\nbinary\r\n"
    "mput temp\\*.mp3\r\nbye\r\n";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class FtpExeSettings : public ::testing::Test {
protected:
  void SetUp() override {
    // ftp.exe reads the file beside itself, so it is put into the program folder.
    std::filesystem::copy_file(FTP_EXE, program_.path() / "ftp.exe");
    program_.Write("temp/a.mp3", "music");
    program_.Write("sendfiles.ftps", kToolScript);
  }

  // Runs the program folder's ftp.exe as Tunelift starts it, its connections for kHost sent
  // to `server`.
  test::ProgramResult Run(const test::FtpServer& server) {
    return test::RunProgram({.program = program_.path() / "ftp.exe",
                             .arguments = {"-s:sendfiles.ftps"},
                             .environment = {{"TUNELIFT_FTP_CONNECT_TO", server.ConnectTo(kHost)},
                                             {"TUNELIFT_FTP_REPORT", Report().string()}},
                             .input = "",
                             .workingFolder = program_.path()});
  }

  std::filesystem::path Report() const { return program_.path() / "send.report"; }
  std::string ReportText() const {
    std::ifstream in(Report(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool NothingReceived() const { return std::filesystem::is_empty(received_.path()); }

  test::TempFolder program_;
  test::TempFolder received_;
};

TEST_F(FtpExeSettings, OpensThePortTheScriptNamesAfterTheHostAsTheFilesPortWritesIt) {
  ASSERT_EQ(std::getenv("TUNELIFT_FTP_CONNECT_TO"), nullptr) << "nothing else may steer it";
  test::FtpServer server(received_.path());
  const std::string port = std::to_string(server.port());
  program_.Write("tunelift.ini", "[server]\nhost = 127.0.0.1\nport = " + port + "\n");
  program_.Write("sendfiles.ftps", "prompt\r\nopen 127.0.0.1 " + port +
                                       "\r\nDeckHopper\r\nMovingTracks\r\nbinary\r\n"
                                       "mput temp\\*.mp3\r\nbye\r\n");

  const test::ProgramResult result = test::RunProgram({.program = program_.path() / "ftp.exe",
                                                       .arguments = {"-s:sendfiles.ftps"},
                                                       .environment = {},
                                                       .input = "",
                                                       .workingFolder = program_.path()});

  EXPECT_EQ(result.exitCode, 0) << result.output << result.errors;
  EXPECT_TRUE(Contains(result.output, "Connected to 127.0.0.1.\n")) << result.output;
  EXPECT_EQ(server.CountOf("CONNECT"), 1u);
  EXPECT_EQ(test::ReadFile(received_.path() / "a.mp3"), "music");
}

TEST_F(FtpExeSettings, RefusesToStartBesideAMalformedFileAndConnectsNowhere) {
  test::FtpServer server(received_.path());
  program_.Write("tunelift.ini", "[server]\nhost = music.example.net\nhots = x\n");

  const test::ProgramResult result = Run(server);

  const std::string told =
      "tunelift.ini, line 3: the key 'hots' is unknown; [server] takes host, port, user, "
      "password and pinned_key.";
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.errors, "ftp: " + told + "\n");
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(server.CountOf("CONNECT"), 0u);
  EXPECT_TRUE(NothingReceived());
  // Tunelift learns it from the report, as of any failure not tied to a file.
  EXPECT_TRUE(Contains(ReportText(), "failure\t0\t\t" + told + "\n")) << ReportText();
  EXPECT_TRUE(ReportText().ends_with("end\t1\n")) << ReportText();
}

TEST_F(FtpExeSettings, RefusesToStartBesideAFolderOfThatName) {
  test::FtpServer server(received_.path());
  std::filesystem::create_directory(program_.path() / "tunelift.ini");

  const test::ProgramResult result = Run(server);

  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.errors, "ftp: Cannot read the settings file '" +
                               (program_.path() / "tunelift.ini").string() +
                               "': it is a folder, not a file.\n");
  EXPECT_EQ(server.CountOf("CONNECT"), 0u);
}

TEST_F(FtpExeSettings, PinsTheKeyTheFileGivesForItsHost) {
  test::FtpServer server({.receiveFolder = received_.path(), .tls = true, .tlsHostName = kHost});
  program_.Write("tunelift.ini",
                 std::string("[server]\nhost = ") + kHost + "\npinned_key = " + kOtherKey + "\n");

  const test::ProgramResult refused = Run(server);

  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(Contains(refused.output, "presented the public key " +
                                           test::ServerKeyPin(server.port()) +
                                           ", which is not the key this build pins for it"))
      << refused.output;
  EXPECT_EQ(server.CountOf("USER"), 0u);
  EXPECT_TRUE(NothingReceived());

  program_.Write("tunelift.ini", std::string("[server]\nhost = ") + kHost +
                                     "\npinned_key = " + test::ServerKeyPin(server.port()) + "\n");
  const test::ProgramResult sent = Run(server);

  EXPECT_EQ(sent.exitCode, 0) << sent.output << sent.errors;
  EXPECT_TRUE(Contains(ReportText(), "identity\tverified\n")) << ReportText();
  EXPECT_TRUE(std::filesystem::exists(received_.path() / "a.mp3"));
}

}  // namespace
}  // namespace tunelift::ftp
