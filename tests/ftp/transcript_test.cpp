// The client run in-process on streams of the test's own, against a real FTP server: the
// transcript it writes and the way it reads the commands and answers that follow.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "ftp/curl_transport.h"
#include "ftp/run.h"
#include "ftp/session.h"
#include "tests/support/ftp_server.h"

namespace tunelift::ftp {
namespace {

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

constexpr const char* kLogin = "open music.example.net\nDeckHopper\nMovingTracks\n";

// The transcript with what varies from run to run (versions, ports, timings) held steady.
std::string Steady(const std::string& transcript) {
  const std::pair<const char*, const char*> variables[] = {
      {R"(pyftpdlib [0-9.]+)", "pyftpdlib V"},
      {R"(\(\|\|\|[0-9]+\|\))", "(|||PORT|)"},
      {R"(sent in [0-9.]+ Seconds [0-9.]+ Kbytes)", "sent in S Seconds R Kbytes"},
  };
  std::string steady = transcript;
  for (const auto& [pattern, placeholder] : variables) {
    steady = std::regex_replace(steady, std::regex(pattern), placeholder);
  }
  return steady;
}

// libcurl's transport, its connections sent on to `server`.
TransportMaker CurlTransportTo(const test::FtpServer& server) {
  CurlTransportOptions options;
  options.connectTo = server.ConnectTo("music.example.net");
  return [options](TransportObserver& observer) {
    return std::make_unique<CurlTransport>(observer, options);
  };
}

class FtpTranscript : public ::testing::Test {
protected:
  int RunClient(const std::string& commands) {
    std::istringstream in(commands);
    const RunEnvironment environment{
        .inputIsTerminal = false, .outputIsTerminal = false, .currentFolder = local_.path()};
    return tunelift::ftp::Run({}, environment, CurlTransportTo(server_), in, out_, err_);
  }

  CurlLibrary curl_;
  test::TempFolder local_;
  test::TempFolder received_;
  test::FtpServer server_{received_.path()};
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(FtpTranscript, ReadsLikeTheWindowsClients) {
  local_.Write("temp/a.mp3", "abc");
  EXPECT_EQ(RunClient(std::string("prompt\n") + kLogin + "binary\nmput temp\\*.mp3\nbye\n"), 0);
  EXPECT_EQ(Steady(out_.str()),
            "ftp> prompt\n"
            "Interactive mode Off .\n"
            "ftp> open music.example.net\n"
            "Connected to music.example.net.\n"
            "220 pyftpdlib V ready.\n"
            "The connection is not encrypted: the server did not accept encryption; the password "
            "and the files go in plain FTP.\n"
            "User (music.example.net:(none)): \n"
            "331 Username ok, send password.\n"
            "Password:\n"
            "230 Login successful.\n"
            "257 \"/\" is the current directory.\n"
            "ftp> binary\n"
            "200 Type set to: Binary.\n"
            "ftp> mput temp\\*.mp3\n"
            "229 Entering extended passive mode (|||PORT|).\n"
            "200 Type set to: Binary.\n"
            "125 Data connection already open. Transfer starting.\n"
            "226 Transfer complete.\n"
            "213 3\n"
            "ftp: 3 bytes sent in S Seconds R Kbytes/sec.\n"
            "ftp> bye\n"
            "221 Goodbye.\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(FtpTranscript, TakesEachMputAnswerFromTheNextLineWhilePromptingIsOn) {
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    local_.Write(std::string("temp/") + name + ".mp3", name);
  }
  // a: yes, b: no, c: empty (yes), d: unclear (no), e never asked: q stops the mput.
  EXPECT_EQ(RunClient(std::string(kLogin) + "mput temp/*.mp3\ny\nn\n\nmaybe\nq\n"
                                            "send temp\\e.mp3 last.mp3\nbye\n"),
            0);
  EXPECT_TRUE(std::filesystem::exists(received_.path() / "a.mp3"));
  EXPECT_FALSE(std::filesystem::exists(received_.path() / "b.mp3"));
  EXPECT_TRUE(std::filesystem::exists(received_.path() / "c.mp3"));
  EXPECT_FALSE(std::filesystem::exists(received_.path() / "d.mp3"));
  EXPECT_FALSE(std::filesystem::exists(received_.path() / "e.mp3"));
  EXPECT_TRUE(std::filesystem::exists(received_.path() / "last.mp3"));
  EXPECT_NE(out_.str().find("mput temp/d.mp3? \nAnswer y, n or q:"), std::string::npos);
}

TEST_F(FtpTranscript, GoesOnAfterAFailedCommandAndEndsWithStatusOne) {
  local_.Write("temp/a.mp3", "a");
  std::filesystem::create_directory(received_.path() / "in");
  EXPECT_EQ(RunClient(std::string(kLogin) + "FROBNICATE now\nlcd nowhere\nlcd temp\ncd in\n"
                                            "BIN\nput a.mp3\nmput *.ogg\nquit\n"),
            1);
  EXPECT_TRUE(std::filesystem::exists(received_.path() / "in" / "a.mp3"));
  EXPECT_NE(out_.str().find("ftp> FROBNICATE now\nftp: Invalid command.\n"), std::string::npos);
  EXPECT_NE(out_.str().find("ftp: No local file matches *.ogg."), std::string::npos);
  EXPECT_NE(
      out_.str().find("ftp> lcd nowhere\nftp: nowhere: No such file or directory (error 2)\n"),
      std::string::npos)
      << out_.str();
}

TEST_F(FtpTranscript, RefusesRemoteNamesThatWouldSmuggleInFtpCommands) {
  local_.Write("a.mp3", "a");
  std::filesystem::create_directory(received_.path() / "in");
  // Only a line's last CR ends it: one inside stays part of the word.
  EXPECT_EQ(RunClient(std::string(kLogin) + "put a.mp3 \"b.mp3\rDELE a.mp3\"\n"
                                            "cd \"in\rRMD in\"\nput a.mp3\nbye\n"),
            1);
  EXPECT_NE(out_.str().find("ftp: Refusing the remote name \"b.mp3?DELE a.mp3\""),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("ftp: Refusing a folder name with control characters."),
            std::string::npos)
      << out_.str();
  EXPECT_EQ(server_.CountOf("STOR"), 1u);
  EXPECT_EQ(server_.CountOf("DELE"), 0u);
  EXPECT_EQ(server_.CountOf("RMD"), 0u);
  EXPECT_EQ(server_.CountOf("CWD"), 0u);
  EXPECT_EQ(test::ReadFile(received_.path() / "a.mp3"), "a");
  EXPECT_TRUE(std::filesystem::is_directory(received_.path() / "in"));
}

TEST_F(FtpTranscript, SendsNoMoreOfAFileThanItsSizeSaid) {
  // A file that holds more than its size says (a size of 0 here) is not read to its end.
  EXPECT_EQ(RunClient(std::string(kLogin) + "binary\nput /proc/self/status status.txt\nbye\n"), 1);
  EXPECT_NE(out_.str().find("\nftp: status.txt was not sent: Cannot send /proc/self/status: it "
                            "grew while it was sent (error 27)\n"),
            std::string::npos)
      << out_.str();
}

TEST_F(FtpTranscript, SkipsTheLoginLinesOfAnOpenThatCannotBeMade) {
  for (const char* open : {"open music.example.net 99999\n", "open bad/host\n"}) {
    out_.str("");
    EXPECT_EQ(RunClient(std::string(open) + "DeckHopper\nMovingTracks\nprompt\nbye\n"), 1);
    EXPECT_EQ(out_.str().find("DeckHopper"), std::string::npos) << out_.str();
    EXPECT_EQ(out_.str().find("Invalid command"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("ftp> prompt\nInteractive mode Off ."), std::string::npos);
  }
  EXPECT_EQ(server_.CountOf("CONNECT"), 0u);
}

TEST(FtpBrokenUpload, NamesEachFileNotSentAndTriesABoundedNumberOfNewConnections) {
  const CurlLibrary curl;
  const test::TempFolder local;
  const test::TempFolder received;
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    local.Write(std::string("temp/") + name + ".mp3", name);
  }
  // The server refuses b.mp3, then drops the connection each time d.mp3 is sent.
  const test::FtpServer server({.receiveFolder = received.path(),
                                .tls = false,
                                .tlsHostName = "localhost",
                                .keepAsciiBytes = false,
                                .refuseProtP = false,
                                .banner = {},
                                .refuse = {"STOR b.mp3"},
                                .hangUpAt = {"STOR d.mp3"}});
  std::istringstream in(std::string(kLogin) + "binary\nmput temp\\*.mp3\nbye\n");
  std::ostringstream out;
  std::ostringstream err;
  const test::TempFolder reportFolder;
  const RunEnvironment environment{
      .inputIsTerminal = false,
      .outputIsTerminal = false,
      .currentFolder = local.path(),
      .reportPath = reportFolder.path() / "send.report",
      .reconnectWaits = {std::chrono::milliseconds(10), std::chrono::milliseconds(20)}};
  EXPECT_EQ(tunelift::ftp::Run(std::vector<std::string_view>{"-i", "-v"}, environment,
                               CurlTransportTo(server), in, out, err),
            1);
  const std::string again =
      "Connected to music.example.net.\n"
      "The connection is not encrypted: the server did not accept encryption; the password and the "
      "files go in plain FTP.\n"
      "d.mp3 is sent again from the start.\n";
  EXPECT_EQ(Steady(out.str()).substr(Steady(out.str()).find("ftp> mput")),
            "ftp> mput temp\\*.mp3\n"
            "ftp: 1 bytes sent in S Seconds R Kbytes/sec.\n"
            "ftp: The server refused b.mp3: 550 Refused by the test server.\n"
            "ftp: 1 bytes sent in S Seconds R Kbytes/sec.\n"
            "The connection dropped while d.mp3 was sent; connecting again in 0 s (try 1 of 2).\n" +
                again +
                "The connection dropped while d.mp3 was sent; connecting again in 0 s (try 2 of "
                "2).\n" +
                again +
                "ftp: The connection dropped while d.mp3 was sent; tried again 2 times.\n"
                "ftp: e.mp3 was not sent: the connection is closed.\n"
                "ftp> bye\n");
  EXPECT_EQ(server.CountOf("STOR d.mp3"), 3u);
  EXPECT_TRUE(std::filesystem::exists(received.path() / "c.mp3"));
  EXPECT_FALSE(std::filesystem::exists(received.path() / "e.mp3"));
  // The report holds the same, as data: the server's refusal in its own fields.
  const std::string report = test::ReadFile(reportFolder.path() / "send.report");
  EXPECT_TRUE(Contains(report,
                       "file\tb.mp3\t1\t0\tfailed\t550\tRefused by the test server.\t"
                       "The server refused b.mp3: 550 Refused by the test server.\n"))
      << report;
  EXPECT_TRUE(Contains(report, "file\tc.mp3\t1\t1\tverified\t0\t\t\n")) << report;
  EXPECT_TRUE(Contains(report,
                       "file\te.mp3\t1\t0\tfailed\t0\t\t"
                       "e.mp3 was not sent: the connection is closed.\n"))
      << report;
  EXPECT_TRUE(report.ends_with("end\t1\n")) << report;
}

// The transcript of a login to a TLS server whose certificate the client is told to trust.
std::string TlsLoginTranscript(bool serverRefusesProtP) {
  const CurlLibrary curl;
  const test::TempFolder received;
  const test::FtpServer server({.receiveFolder = received.path(),
                                .tls = true,
                                .tlsHostName = "music.example.net",
                                .keepAsciiBytes = false,
                                .refuseProtP = serverRefusesProtP});
  CurlTransportOptions options;
  options.connectTo = server.ConnectTo("music.example.net");
  options.caFile = server.certificatePath().string();
  std::ostringstream out;
  Console console(out, {.showReplies = false, .showCommands = false, .showProgress = false});
  CurlTransport transport(console, options);
  std::istringstream in(std::string(kLogin) + "bye\n");
  LineReader input(in);
  SendReport report({});
  Session session(transport, console, input, report, {.localFolder = received.path()});
  EXPECT_EQ(session.Run(""), 0) << out.str();
  return out.str();
}

TEST(FtpTlsTranscript, SaysTheIdentityWasVerifiedAndWhenTheFilesGoInClear) {
  const std::string everything = TlsLoginTranscript(false);
  const std::string commandsOnly = TlsLoginTranscript(true);
  const std::string verified =
      "Connected to music.example.net.\n"
      "The connection is encrypted; the server's identity was verified.\n"
      "User (music.example.net:(none)): \n"
      "Password:\n";
  const std::string filesInClear =
      "The commands and the password are encrypted (TLS), but the server refused to encrypt "
      "the files (PROT P): they go as plain FTP.\n";
  EXPECT_NE(everything.find(verified), std::string::npos) << everything;
  EXPECT_EQ(everything.find(filesInClear), std::string::npos) << everything;
  EXPECT_NE(commandsOnly.find(verified + filesInClear), std::string::npos) << commandsOnly;
}

}  // namespace
}  // namespace tunelift::ftp
