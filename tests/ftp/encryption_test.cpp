// Encryption against the servers people run: Debian's vsftpd with TLS on, a self-signed
// certificate made by the test, files encrypted on data connections that must reuse the
// control connection's TLS session. Without a pinned key the client encrypts wherever it can
// and says how; with one, a server that cannot prove the key gets nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ftp/curl_transport.h"
#include "ftp/run.h"
#include "ftp/session.h"
#include "tests/support/child_process.h"
#include "tests/support/ftp_server.h"
#include "tests/support/server_key.h"
#include "tests/support/vsftpd_server.h"

namespace tunelift::ftp {
namespace {

constexpr const char* kHost = "music.example.net";
// A well-formed pin of a key no test server has (the SHA-256 digest of nothing but zeros).
constexpr const char* kOtherKey = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

std::string UploadScript(const std::string& user, const std::string& password,
                         const char* lineEnd) {
  std::string script;
  for (const std::string& line :
       {std::string("prompt"), std::string("open ") + kHost, user, password, std::string("binary"),
        std::string("mput temp\\*.mp3"), std::string("bye")}) {
    script += line + lineEnd;
  }
  return script;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class FtpEncryption : public ::testing::Test {
protected:
  struct Outcome {
    int status = -1;
    std::string transcript;
  };

  // The client on the upload script, in-process, as a build that pins `pinnedKey` for kHost.
  Outcome RunClient(const std::string& connectTo, const std::string& pinnedKey,
                    const std::string& user, const std::string& password) {
    std::istringstream in(UploadScript(user, password, "\n"));
    std::ostringstream out;
    const RunEnvironment environment{.pin = {.host = kHost, .key = pinnedKey},
                                     .inputIsTerminal = false,
                                     .outputIsTerminal = false,
                                     .currentFolder = local_.path()};
    CurlTransportOptions options;
    options.connectTo = connectTo;
    const TransportMaker curlTransport = [&options](TransportObserver& observer) {
      return std::make_unique<CurlTransport>(observer, options);
    };
    const int status = tunelift::ftp::Run({}, environment, curlTransport, in, out, out);
    return {status, out.str()};
  }

  Outcome RunClient(const test::VsftpdServer& server, const std::string& pinnedKey) {
    return RunClient(server.ConnectTo(kHost), pinnedKey, server.account().name(),
                     server.account().password());
  }

  bool NothingReceived() const { return std::filesystem::is_empty(received_.path()); }

  CurlLibrary curl_;
  test::TempFolder local_;
  test::TempFolder received_;
};

// vsftpd logs in through a local account, which only root can make.
class FtpEncryptionWithVsftpd : public FtpEncryption {
protected:
  void SetUp() override {
    if (!test::LocalAccount::CanBeMade()) {
      GTEST_SKIP() << test::kNeedsRoot;
    }
  }

  // Nothing but the connection and its AUTH reached the server: no user name, no password,
  // no file.
  void ExpectNothingSent(const test::VsftpdServer& server, const Outcome& outcome) const {
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(NothingReceived());
    EXPECT_EQ(server.CountOf("AUTH TLS"), 1u);
    EXPECT_EQ(server.CountOf("USER"), 0u);
    EXPECT_EQ(server.CountOf("PASS"), 0u);
  }
};

TEST_F(FtpEncryptionWithVsftpd, SendsByteIdenticalFilesToASelfSignedServerAndSaysSo) {
  test::VsftpdServer server({.receiveFolder = received_.path(), .certificateName = kHost});
  std::string music;
  for (int copy = 0; copy < 2000; ++copy) {
    for (int value = 0; value < 256; ++value) {
      music += static_cast<char>(value);
    }
    music += "\r\n\n\r";
  }
  local_.Write("temp/one.mp3", music);
  local_.Write("temp/two.mp3", std::string(music.rbegin(), music.rend()));
  local_.Write("sendfiles.ftps",
               UploadScript(server.account().name(), server.account().password(), "\r\n"));

  // The real ftp.exe as Tunelift starts it, in a build that pins no key.
  const test::ProgramResult result =
      test::RunProgram({.program = FTP_EXE,
                        .arguments = {"-s:sendfiles.ftps"},
                        .environment = {{"TUNELIFT_FTP_CONNECT_TO", server.ConnectTo(kHost)}},
                        .input = "",
                        .workingFolder = local_.path()});

  EXPECT_EQ(result.exitCode, 0) << result.output;
  // Compared whole, but not printed: half a megabyte would bury the transcript.
  EXPECT_TRUE(test::ReadFile(received_.path() / "one.mp3") == music);
  EXPECT_TRUE(test::ReadFile(received_.path() / "two.mp3") ==
              std::string(music.rbegin(), music.rend()));
  EXPECT_TRUE(Contains(result.output,
                       "ftp> open music.example.net\n"
                       "Connected to music.example.net.\n"
                       "220 (vsFTPd 3.0.3)\n"
                       "234 Proceed with negotiation.\n"
                       "The connection is encrypted, but the server's identity could not be "
                       "checked (self-signed or unknown certificate).\n"
                       "User (music.example.net:(none)): \n"
                       "331 Please specify the password.\n"
                       "Password:\n"
                       "230 Login successful.\n"))
      << result.output;
  // vsftpd takes files only over encrypted data connections that reuse the TLS session. The
  // two files go over two connections at once, each encrypted and logged in on its own.
  EXPECT_EQ(server.CountOf("PROT P"), 2u);
  EXPECT_EQ(server.CountOf("STOR"), 2u);
  EXPECT_EQ(server.CountOf("USER"), 2u);
}

TEST_F(FtpEncryptionWithVsftpd, SendsToTheServerWithThePinnedKeyAndSaysItWasVerified) {
  // A self-signed certificate for another name: with a pinned key only the key counts.
  test::VsftpdServer server({.receiveFolder = received_.path(), .certificateName = "nas.local"});
  local_.Write("temp/a.mp3", "pinned tune");
  const Outcome outcome = RunClient(server, test::ServerKeyPin(server.port()));

  EXPECT_EQ(outcome.status, 0) << outcome.transcript;
  EXPECT_EQ(test::ReadFile(received_.path() / "a.mp3"), "pinned tune");
  EXPECT_TRUE(Contains(outcome.transcript,
                       "234 Proceed with negotiation.\n"
                       "The connection is encrypted; the server's identity was verified.\n"
                       "User (music.example.net:(none)): \n"))
      << outcome.transcript;
  EXPECT_EQ(server.CountOf("PROT P"), 1u);
}

TEST_F(FtpEncryptionWithVsftpd, SendsNothingNotEvenTheUserNameToAServerWithAnotherKey) {
  test::VsftpdServer server({.receiveFolder = received_.path(), .certificateName = kHost});
  local_.Write("temp/a.mp3", "a");
  const Outcome outcome = RunClient(server, kOtherKey);

  ExpectNothingSent(server, outcome);
  // The message names the key the server presented, so that it can be pinned knowingly.
  EXPECT_TRUE(Contains(outcome.transcript,
                       "234 Proceed with negotiation.\n"
                       "ftp: The server of music.example.net presented the public key " +
                           test::ServerKeyPin(server.port()) +
                           ", which is not the key this build pins for it: nothing was sent, "
                           "not even the user name."))
      << outcome.transcript;
  EXPECT_FALSE(Contains(outcome.transcript, "User ("));
  EXPECT_TRUE(Contains(outcome.transcript, "ftp> mput temp\\*.mp3\nftp: Not connected.\n"));
}

TEST_F(FtpEncryptionWithVsftpd, SendsNothingNotEvenTheUserNameToAPlainServerWhenAKeyIsPinned) {
  test::VsftpdServer server({.receiveFolder = received_.path(), .tls = false});
  local_.Write("temp/a.mp3", "a");
  const Outcome outcome = RunClient(server, kOtherKey);

  ExpectNothingSent(server, outcome);
  EXPECT_TRUE(Contains(outcome.transcript,
                       "ftp: The server of music.example.net did not accept encryption, but "
                       "this build pins its key and so requires encryption: nothing was sent, "
                       "not even the user name.\n"))
      << outcome.transcript;
}

TEST_F(FtpEncryption, SendsNoFileToAServerThatWillNotEncryptThemWhenAKeyIsPinned) {
  // vsftpd never refuses PROT P; this pyftpdlib does.
  const test::FtpServer server({.receiveFolder = received_.path(),
                                .tls = true,
                                .tlsHostName = kHost,
                                .keepAsciiBytes = false,
                                .refuseProtP = true});
  local_.Write("temp/a.mp3", "a");
  const Outcome outcome = RunClient(server.ConnectTo(kHost), test::ServerKeyPin(server.port()),
                                    std::string(test::kFtpUser), std::string(test::kFtpPassword));

  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(NothingReceived());
  EXPECT_EQ(server.CountOf("STOR"), 0u);
  EXPECT_TRUE(Contains(outcome.transcript,
                       "ftp: The server of music.example.net refused to encrypt the files (PROT "
                       "P), but this build pins its key and so requires encryption: no file was "
                       "sent.\n"))
      << outcome.transcript;
  // libcurl asks for PROT P after the login, which went only to the pinned key, encrypted.
  const std::vector<std::string> commands = server.Commands();
  const auto position = [&](std::string_view verb) {
    return std::find_if(commands.begin(), commands.end(),
                        [&](const std::string& line) { return line.starts_with(verb); });
  };
  EXPECT_LT(position("AUTH TLS"), position("USER"));
  EXPECT_LT(position("USER"), position("PROT P"));
}

TEST_F(FtpEncryption, OpensNoConnectionToThePinnedHostThroughAClientThatCannotEncrypt) {
  const test::FtpServer server(received_.path());
  std::ostringstream out;
  Console console(out, {.showReplies = true, .showCommands = false, .showProgress = false});
  CurlTransportOptions plainOnly;
  plainOnly.connectTo = "::127.0.0.1:" + std::to_string(server.port());
  plainOnly.encryption = false;
  CurlTransport transport(console, plainOnly);
  std::istringstream in(
      "open MUSIC.example.net.\nDeckHopper\nMovingTracks\n"
      "open other.example.net\nDeckHopper\nMovingTracks\nbye\n");
  LineReader input(in);
  SendReport report({});
  Session session(transport, console, input, report,
                  {.localFolder = local_.path(), .pin = {.host = kHost, .key = kOtherKey}});

  EXPECT_EQ(session.Run(""), 1);
  EXPECT_TRUE(Contains(out.str(),
                       "ftp> open MUSIC.example.net.\n"
                       "ftp: This build pins the key of MUSIC.example.net.'s server and so "
                       "requires encryption, but this FTP client cannot encrypt: nothing was "
                       "sent, not even the user name.\n"
                       "ftp> open other.example.net\n"))
      << out.str();
  // Another host goes in clear, and the transcript says why before the password is asked for.
  EXPECT_TRUE(Contains(out.str(),
                       "ftp> open other.example.net\n"
                       "The connection is not encrypted: this FTP client cannot "
                       "encrypt; the password and the files go in plain FTP.\n"
                       "Connected to other.example.net.\n"))
      << out.str();
  EXPECT_EQ(server.CountOf("CONNECT"), 1u);
  EXPECT_EQ(server.CountOf("USER"), 1u);
  EXPECT_EQ(server.CountOf("AUTH"), 0u);
}

}  // namespace
}  // namespace tunelift::ftp
