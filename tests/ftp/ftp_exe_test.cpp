// The built ftp.exe as Tunelift starts it: a real process on the tool's own script, its
// connections sent to a real FTP server on loopback while the script names the real host.
#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "ftp/line_reader.h"
#include "ftp/run.h"
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

// Text a terminal shows without acting on it: valid UTF-8 without control characters (C0,
// DEL, C1) but line ends and tabs. Checked through iconv, apart from the client's own filter.
::testing::AssertionResult IsTerminalSafe(const std::string& text) {
  const iconv_t toUtf32 = iconv_open("UTF-32LE", "UTF-8");
  std::string in = text;
  std::u32string codes(text.size(), U'\0');
  char* inAt = in.data();
  std::size_t inLeft = in.size();
  char* outAt = reinterpret_cast<char*>(codes.data());
  std::size_t outLeft = codes.size() * sizeof(char32_t);
  const bool valid =
      iconv(toUtf32, &inAt, &inLeft, &outAt, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(toUtf32);
  if (!valid) {
    return ::testing::AssertionFailure() << "not UTF-8 at byte " << in.size() - inLeft;
  }
  codes.resize(codes.size() - outLeft / sizeof(char32_t));
  for (const char32_t code : codes) {
    const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
    if (control && code != U'\n' && code != U'\t') {
      return ::testing::AssertionFailure()
             << "control character U+" << std::hex << static_cast<unsigned>(code) << " in:\n"
             << text;
    }
  }
  return ::testing::AssertionSuccess();
}

// An escape sequence that retitles the terminal, CSI as a C1 control in UTF-8, an invalid byte.
const std::string kHostile =
    "\x1b]0;owned\x07\xc2\x9b"
    "2J\xff";
const std::string kHostileShown = "?]0;owned??2J?";

class FtpExe : public ::testing::Test {
protected:
  // Runs ftp.exe in the program folder on `script`, its connections sent to `port`.
  // `more`: variables set on top of the connect-to.
  test::ProgramResult Run(int port, const std::string& script,
                          std::vector<std::string> arguments = {"-s:sendfiles.ftps"},
                          std::vector<std::pair<std::string, std::string>> more = {}) {
    program_.Write("sendfiles.ftps", script);
    const std::string connectTo = std::string(kHost) + ":21:127.0.0.1:" + std::to_string(port);
    more.emplace_back("TUNELIFT_FTP_CONNECT_TO", connectTo);
    return test::RunProgram({.program = FTP_EXE,
                             .arguments = std::move(arguments),
                             .environment = std::move(more),
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
  EXPECT_TRUE(
      Contains(result.output, "ftp: " + std::to_string(awkward.size()) + " bytes sent in "));
}

TEST_F(FtpExe, SendsTwoHundredFilesOverItsFourConnectionsEachLoggedInOnce) {
  test::FtpServer server(received_.path());
  for (int number = 0; number < 200; ++number) {
    Stage("track " + std::to_string(1000 + number) + ".mp3", std::to_string(number));
  }
  const test::ProgramResult result = Run(server.port(), ToolScript());

  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Received().size(), 200u);
  EXPECT_EQ(server.CountOf("CONNECT"), kDefaultConnections);
  EXPECT_EQ(server.CountOf("USER"), kDefaultConnections);
  EXPECT_EQ(server.CountOf("STOR"), 200u);
}

TEST_F(FtpExe, SendsTwoHundredFilesOverOneConnectionAndOneLoginWhenToldToUseOne) {
  test::FtpServer server(received_.path());
  for (int number = 0; number < 200; ++number) {
    Stage("track " + std::to_string(1000 + number) + ".mp3", std::to_string(number));
  }
  const test::ProgramResult result =
      Run(server.port(), ToolScript(), {"-s:sendfiles.ftps"}, {{"TUNELIFT_FTP_CONNECTIONS", "1"}});

  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Received().size(), 200u);
  EXPECT_EQ(server.CountOf("CONNECT"), 1u);
  EXPECT_EQ(server.CountOf("USER"), 1u);
  EXPECT_EQ(server.CountOf("STOR"), 200u);
  EXPECT_FALSE(Contains(result.output, "over connection"));
}

TEST_F(FtpExe, DamagesTheFileWithoutTheScriptsBinaryLine) {
  // A server that keeps CR LF line ends as they arrive, as one on Windows does.
  test::FtpServer server({.receiveFolder = received_.path(),
                          .tls = false,
                          .tlsHostName = "localhost",
                          .keepAsciiBytes = true});
  const std::string awkward = AwkwardBytes();
  Stage("a.mp3", awkward);
  ASSERT_EQ(Run(server.port(), ToolScript()).exitCode, 0);
  EXPECT_EQ(test::ReadFile(received_.path() / "a.mp3"), awkward);

  const test::ProgramResult ascii =
      Run(server.port(), Script({"prompt", "open music.example.net", "DeckHopper", "MovingTracks",
                                 "mput temp\\*.mp3", "bye"}));
  EXPECT_EQ(ascii.exitCode, 0) << ascii.output;
  EXPECT_NE(test::ReadFile(received_.path() / "a.mp3"), awkward);
}

TEST_F(FtpExe, EndsWithStatusOneAndSendsNothingAfterAWrongPassword) {
  test::FtpServer server(received_.path());
  Stage("a.mp3", "a");
  const test::ProgramResult result =
      Run(server.port(), Script({"prompt", "open music.example.net", "DeckHopper", "NotTheTracks",
                                 "binary", "mput temp\\*.mp3", "bye"}));

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
  // The words a user knows, naming the server as the script does, not the library's number.
  EXPECT_TRUE(Contains(result.output,
                       "\nftp: Nothing answered on music.example.net port 21 "
                       "(connection refused).\n"))
      << result.output;
  EXPECT_FALSE(Contains(result.output, "DeckHopper"));
  EXPECT_FALSE(Contains(result.output, "Invalid command"));
  EXPECT_TRUE(Contains(result.output, "ftp> mput temp\\*.mp3\nftp: Not connected."));
}

TEST_F(FtpExe, RefusesALoginThatHoldsAControlCharacter) {
  test::FtpServer server(received_.path());
  Stage("a.mp3", "a");
  for (const std::string& password :
       {std::string("Moving\rDELE a.mp3"), std::string("Moving\0Tracks", 13)}) {
    const test::ProgramResult result =
        Run(server.port(), Script({"prompt", "open music.example.net", "DeckHopper", password,
                                   "binary", "mput temp\\*.mp3", "bye"}));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(Contains(result.output, "Refusing a user name or password"));
  }
  EXPECT_EQ(server.CountOf("USER"), 0u);
  EXPECT_EQ(server.CountOf("PASS"), 0u);
}

TEST_F(FtpExe, NeverShowsThePasswordNotEvenWithDebugOutput) {
  test::FtpServer server(received_.path());
  Stage("a.mp3", "a");
  const test::ProgramResult prompted =
      Run(server.port(), ToolScript(), {"-d", "-s:sendfiles.ftps"});
  const test::ProgramResult typed =
      Run(server.port(), Script({"open music.example.net", "user DeckHopper MovingTracks", "bye"}),
          {"-d", "-n", "-s:sendfiles.ftps"});

  EXPECT_EQ(prompted.exitCode, 0) << prompted.output;
  EXPECT_EQ(typed.exitCode, 0) << typed.output;
  EXPECT_TRUE(Contains(prompted.output, "---> USER DeckHopper\n331"));
  EXPECT_TRUE(Contains(prompted.output, "---> PASS ****\n230"));
  EXPECT_TRUE(Contains(typed.output, "ftp> user DeckHopper ****\n"));
  EXPECT_FALSE(Contains(prompted.output + prompted.errors + typed.output + typed.errors, "Moving"));
}

TEST_F(FtpExe, LetsNoServerScriptOrFileNameSteerTheTerminal) {
  test::FtpServer server({.receiveFolder = received_.path(),
                          .tls = false,
                          .tlsHostName = "localhost",
                          .keepAsciiBytes = false,
                          .refuseProtP = false,
                          .banner = "hello " + kHostile});
  Stage("steer " + kHostile + ".mp3", "refused: control characters in a remote name");
  Stage(
      "csi \xc2\x9b"
      "2J\xff.mp3",
      "sent: no C0 in its name");
  // Prompting stays on: mput asks about each file by name, and the answers follow.
  const test::ProgramResult result =
      Run(server.port(),
          Script({"open music.example.net", "DeckHopper", "MovingTracks", "binary",
                  "mput temp\\*.mp3", "y", "y", "cd \"" + kHostile + "\"", kHostile, "bye"}),
          {"-d", "-s:sendfiles.ftps"});

  EXPECT_TRUE(IsTerminalSafe(result.output)) << result.output;
  EXPECT_TRUE(IsTerminalSafe(result.errors));
  EXPECT_TRUE(Contains(result.output, "\n220 hello " + kHostileShown + "\n"));           // reply
  EXPECT_TRUE(Contains(result.output, "mput temp\\steer " + kHostileShown + ".mp3? "));  // question
  EXPECT_TRUE(Contains(result.output, "---> STOR csi ?2J?.mp3\n"));                      // -d
  EXPECT_TRUE(Contains(result.output, "ftp> " + kHostileShown + "\nftp: Invalid command."));
  EXPECT_EQ(server.CountOf("STOR"), 1u);
}

// A Unix socket bound at `path`, closed when it goes; the name stays as a socket file.
class BoundSocket {
public:
  explicit BoundSocket(const std::filesystem::path& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = path.string();
    if (fd_ < 0 || name.size() >= sizeof address.sun_path) {
      throw std::system_error(fd_ < 0 ? errno : ENAMETOOLONG, std::generic_category(), name);
    }
    name.copy(address.sun_path, name.size());
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      const int error = errno;
      ::close(fd_);
      throw std::system_error(error, std::generic_category(), "bind " + name);
    }
  }
  ~BoundSocket() { ::close(fd_); }
  BoundSocket(const BoundSocket&) = delete;
  BoundSocket& operator=(const BoundSocket&) = delete;

private:
  int fd_;
};

// Long enough for a process start on a busy machine; only a client that waits on its
// script comes near it.
constexpr std::chrono::seconds kPatience{20};

// What ftp.exe on the script `path` writes, errors included, then "exit status N". A client
// that blocks makes ReadLine throw after kPatience, and the test fails instead of hanging;
// the shell and the client lead a process group of their own, which then is stopped.
std::vector<std::string> RunOnScriptWithinPatience(const std::filesystem::path& path) {
  test::ChildProcess shell(
      "/bin/sh", {"-c", "\"$0\" \"-s:$1\" 2>&1; echo \"exit status $?\"", FTP_EXE, path.string()},
      {.ownProcessGroup = true});
  std::vector<std::string> lines{shell.ReadLine(kPatience)};
  while (!lines.back().starts_with("exit status ")) {
    lines.push_back(shell.ReadLine(kPatience));
  }
  return lines;
}

TEST_F(FtpExe, RefusesAScriptThatIsNotARegularFileWithoutOpeningIt) {
  // A FIFO nobody writes to would block the open for ever; the others never end or are no
  // file at all. A link is followed to what it names.
  const std::filesystem::path fifo = program_.path() / "sendfiles.ftps";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::generic_category().message(errno);
  std::filesystem::create_symlink(fifo, program_.path() / "link-to-fifo.ftps");
  std::filesystem::create_directory(program_.path() / "folder.ftps");
  const BoundSocket socket(program_.path() / "socket.ftps");
  for (const std::filesystem::path& script :
       {fifo, program_.path() / "link-to-fifo.ftps", program_.path() / "folder.ftps",
        program_.path() / "socket.ftps", std::filesystem::path("/dev/zero"),
        std::filesystem::path("/dev/tty")}) {
    EXPECT_EQ(RunOnScriptWithinPatience(script),
              (std::vector<std::string>{
                  "ftp: Cannot open the script " + script.string() + ": it is not a regular file.",
                  "exit status 1"}));
  }

  // A link to a regular script is read as the script.
  program_.Write("real.ftps", Script({"bye"}));
  std::filesystem::create_symlink(program_.path() / "real.ftps", program_.path() / "link.ftps");
  EXPECT_EQ(RunOnScriptWithinPatience(program_.path() / "link.ftps"),
            (std::vector<std::string>{"ftp> bye", "exit status 0"}));
}

TEST_F(FtpExe, ReadsEveryLineWithinABound) {
  // One line that does not end within the bound: the client stops reading instead of growing
  // without limit.
  program_.Write("endless.ftps", std::string(kMaxLineLength + kMaxSkippedLength + 2, 'x'));
  const test::ProgramResult endless = Run(0, "", {"-s:endless.ftps"});
  EXPECT_EQ(endless.exitCode, 1);
  EXPECT_TRUE(Contains(endless.output, "ftp: Line 1 does not end within ")) << endless.output;

  // A line too long for any command is skipped and named; the commands after it run. Too long
  // for a user name, the login fails and its password line is still read as the password.
  const std::string tooLong(20000, 'x');
  const test::ProgramResult skipped =
      Run(0, Script({"prompt", tooLong, "prompt", "open music.example.net", tooLong, "MovingTracks",
                     "bye"}));
  EXPECT_EQ(skipped.exitCode, 1);
  EXPECT_TRUE(Contains(skipped.output,
                       "ftp> prompt\nInteractive mode Off .\n"
                       "ftp: Line 2 is longer than 8192 characters; it is skipped.\n"
                       "ftp> prompt\nInteractive mode On .\n"))
      << skipped.output;
  EXPECT_TRUE(Contains(skipped.output, "ftp: Line 5 is longer than"));
  EXPECT_TRUE(Contains(skipped.output, "Login failed"));
  EXPECT_FALSE(Contains(skipped.output, "MovingTracks"));
}

TEST_F(FtpExe, EndsWithStatusOneWhenItsOutputCannotBeWritten) {
  test::FtpServer server(received_.path());
  Stage("a.mp3", "a");
  program_.Write("sendfiles.ftps", ToolScript());
  const std::string connectTo = server.ConnectTo(kHost);
  // As under "| head -c 5" once head has ended: the uploads go on, the failure is reported.
  const test::ProgramResult closed =
      test::RunProgram({.program = FTP_EXE,
                        .arguments = {"-s:sendfiles.ftps"},
                        .environment = {{"TUNELIFT_FTP_CONNECT_TO", connectTo}},
                        .input = "",
                        .workingFolder = program_.path(),
                        .outputClosed = true});
  EXPECT_EQ(closed.exitCode, 1);
  EXPECT_EQ(closed.errors, "ftp: The transcript could not be written: Broken pipe.\n");
  EXPECT_EQ(Received(), std::vector<std::string>{"a.mp3"});

  // Output into a file past the file-size limit (ulimit -f).
  const test::ProgramResult limited =
      test::RunProgram({.program = "/usr/bin/prlimit",
                        .arguments = {"--fsize=100", FTP_EXE, "-s:sendfiles.ftps"},
                        .environment = {{"TUNELIFT_FTP_CONNECT_TO", connectTo}},
                        .input = "",
                        .workingFolder = program_.path(),
                        .outputClosed = false});
  EXPECT_EQ(limited.exitCode, 1);
  EXPECT_EQ(limited.errors, "ftp: The transcript could not be written: File too large.\n");
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
