// The libcurl transport against a real FTP server on loopback: encryption, line ends on the
// wire, folders and bounded waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ftp/console.h"
#include "ftp/curl_transport.h"
#include "tests/support/ftp_server.h"
#include "tests/support/loopback.h"

namespace tunelift::ftp {
namespace {

constexpr const char* kHost = "music.example.net";
using Stage = TransportError::Stage;

// The error `action` ends with; the test fails when it ends without one.
template <typename Action>
TransportError FailureOf(Action action) {
  try {
    action();
  } catch (const TransportError& error) {
    return error;
  }
  ADD_FAILURE() << "succeeded where it should have failed";
  return TransportError(Stage::Local, 0, "no failure");
}

void LogIn(Transport& transport) {
  transport.Open({.host = kHost});
  transport.Login(std::string(test::kFtpUser), std::string(test::kFtpPassword));
}

class FtpCurlTransport : public ::testing::Test {
protected:
  CurlTransportOptions Through(const test::FtpServer& server) const {
    CurlTransportOptions options;
    options.connectTo = server.ConnectTo(kHost);
    return options;
  }

  bool ServerGot(const test::FtpServer& server, const std::string& command) const {
    const std::vector<std::string> log = server.Commands();
    return std::find(log.begin(), log.end(), command) != log.end();
  }

  CurlLibrary curl_;
  test::TempFolder received_;
  test::TempFolder local_;
  std::ostringstream transcript_;
  Console console_{
      transcript_,
      ConsoleOptions{.showReplies = true, .showCommands = true, .showProgress = false}};
};

TEST_F(FtpCurlTransport, EncryptsWhereTheServerOffersTlsWithATrustedCertificate) {
  test::FtpServer server({.receiveFolder = received_.path(),
                          .tls = true,
                          .tlsHostName = kHost,
                          .keepAsciiBytes = false});
  CurlTransportOptions options = Through(server);
  options.caFile = server.certificatePath().string();
  CurlTransport transport(console_, options);
  LogIn(transport);
  EXPECT_EQ(transport.EncryptionInUse(), Encryption::Everything);
  transport.Store(local_.Write("a.mp3", "secret tune"), "a.mp3", TransferType::Binary);
  transport.Close();

  EXPECT_EQ(test::ReadFile(received_.path() / "a.mp3"), "secret tune");
  EXPECT_TRUE(ServerGot(server, "AUTH TLS"));
  EXPECT_TRUE(ServerGot(server, "PROT P"));  // the file went encrypted too
}

TEST_F(FtpCurlTransport, SaysTheFilesGoInClearWhereTheServerRefusesProtP) {
  test::FtpServer server({.receiveFolder = received_.path(),
                          .tls = true,
                          .tlsHostName = kHost,
                          .keepAsciiBytes = false,
                          .refuseProtP = true});
  CurlTransportOptions options = Through(server);
  options.caFile = server.certificatePath().string();
  CurlTransport transport(console_, options);
  LogIn(transport);
  EXPECT_EQ(transport.EncryptionInUse(), Encryption::CommandsOnly);
  transport.Store(local_.Write("a.mp3", "clear tune"), "a.mp3", TransferType::Binary);

  EXPECT_EQ(test::ReadFile(received_.path() / "a.mp3"), "clear tune");
  EXPECT_TRUE(ServerGot(server, "PROT P"));
}

TEST_F(FtpCurlTransport, EncryptsAllTheSameWhereTheCertificateCannotBeVerified) {
  test::FtpServer server({.receiveFolder = received_.path(),
                          .tls = true,
                          .tlsHostName = kHost,
                          .keepAsciiBytes = false});
  CurlTransport transport(console_, Through(server));
  LogIn(transport);
  EXPECT_EQ(transport.EncryptionInUse(), Encryption::Everything);
  transport.Store(local_.Write("a.mp3", "self-signed tune"), "a.mp3", TransferType::Binary);

  EXPECT_EQ(test::ReadFile(received_.path() / "a.mp3"), "self-signed tune");
  // The certificate is checked on a first connection, which ends before the user name; the
  // second takes the server as it is. The transcript shows one connection.
  EXPECT_EQ(server.CountOf("CONNECT"), 2u);
  EXPECT_EQ(server.CountOf("USER"), 1u);
  EXPECT_EQ(server.CountOf("PROT P"), 1u);
  const std::string transcript = transcript_.str();
  EXPECT_EQ(transcript.find("Connected to"), transcript.rfind("Connected to")) << transcript;
  EXPECT_NE(transcript.find("234 AUTH TLS successful.\n"
                            "The connection is encrypted, but the server's identity could not "
                            "be checked (self-signed or unknown certificate).\n"
                            "---> USER DeckHopper\n"),
            std::string::npos)
      << transcript;
}

TEST_F(FtpCurlTransport, GoesOnInPlainFtpWhereTheServerRefusesTls) {
  test::FtpServer server(received_.path());
  CurlTransport transport(console_, Through(server));
  LogIn(transport);
  EXPECT_EQ(transport.EncryptionInUse(), Encryption::None);
  EXPECT_TRUE(ServerGot(server, "AUTH TLS"));
  EXPECT_NE(transcript_.str().find("Connected to music.example.net.\n220 "), std::string::npos);
}

TEST_F(FtpCurlTransport, PutsCrLfOnTheWireInAsciiModeAndLeavesBinaryAlone) {
  test::FtpServer server({.receiveFolder = received_.path(),
                          .tls = false,
                          .tlsHostName = "localhost",
                          .keepAsciiBytes = true});
  CurlTransport transport(console_, Through(server));
  LogIn(transport);
  const auto text = local_.Write("text", "one\ntwo\r\nthree\rfour\n");
  const StoreResult ascii = transport.Store(text, "ascii.txt", TransferType::Ascii);
  transport.Store(text, "binary.txt", TransferType::Binary);

  // libcurl turns every LF into CR LF, one after a CR included; a lone CR stays.
  EXPECT_EQ(test::ReadFile(received_.path() / "ascii.txt"), "one\r\ntwo\r\r\nthree\rfour\r\n");
  EXPECT_EQ(ascii.bytesSent, 23);
  EXPECT_EQ(test::ReadFile(received_.path() / "binary.txt"), test::ReadFile(text));
}

TEST_F(FtpCurlTransport, SendsFilesOfManyBuffersWholeInBothModes) {
  test::FtpServer server({.receiveFolder = received_.path(),
                          .tls = false,
                          .tlsHostName = "localhost",
                          .keepAsciiBytes = true});
  CurlTransport transport(console_, Through(server));
  LogIn(transport);
  // Several of the transport's buffers and an odd rest; line ends fall on every boundary.
  std::string binary;
  std::string lines;
  std::string linesOnTheWire;
  for (int i = 0; binary.size() < (3u << 20) + 5; ++i) {
    binary += static_cast<char>(i * 31);
    binary += static_cast<char>(i >> 5);
  }
  for (int i = 0; lines.size() < (1u << 20) + 3; ++i) {
    const std::string line = std::string(static_cast<std::size_t>(i % 97), 'x') + "\n";
    lines += line;
    linesOnTheWire += line.substr(0, line.size() - 1) + "\r\n";
  }
  transport.Store(local_.Write("big.mp3", binary), "big.mp3", TransferType::Binary);
  const StoreResult ascii =
      transport.Store(local_.Write("big.txt", lines), "big.txt", TransferType::Ascii);
  EXPECT_TRUE(test::ReadFile(received_.path() / "big.mp3") == binary);
  EXPECT_TRUE(test::ReadFile(received_.path() / "big.txt") == linesOnTheWire);
  EXPECT_EQ(ascii.bytesSent, static_cast<std::int64_t>(linesOnTheWire.size()));
}

TEST_F(FtpCurlTransport, ChangesOnlyIntoFoldersTheServerHas) {
  std::filesystem::create_directory(received_.path() / "new music");
  test::FtpServer server(received_.path());
  CurlTransport transport(console_, Through(server));
  LogIn(transport);
  transport.ChangeDirectory("new music");
  EXPECT_EQ(FailureOf([&] { transport.ChangeDirectory("missing"); }).stage(), Stage::Command);
  transport.Store(local_.Write("b.mp3", "b"), "b.mp3", TransferType::Binary);
  EXPECT_TRUE(std::filesystem::exists(received_.path() / "new music" / "b.mp3"));
}

TEST_F(FtpCurlTransport, GivesUpOnAServerThatNeverAnswers) {
  const test::LoopbackPort silent(test::LoopbackPort::Behaviour::Silent);
  CurlTransportOptions options;
  options.connectTo = std::string(kHost) + ":21:127.0.0.1:" + std::to_string(silent.port());
  options.stallSeconds = 1;
  CurlTransport transport(console_, options);
  const TransportError error = FailureOf([&] { LogIn(transport); });
  EXPECT_EQ(error.stage(), Stage::Connect);
  EXPECT_EQ(error.code(), 28);  // CURLE_OPERATION_TIMEDOUT
}

}  // namespace
}  // namespace tunelift::ftp
