// ftp.exe typed at by a person: its standard input and output are a real terminal (a pty).

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/ftp_server.h"

namespace tunelift::ftp {
namespace {

// Drives a program on the other side of a pseudo-terminal, keeping all it printed.
class Terminal {
public:
  // Starts ftp.exe on a new terminal, its connections sent to `port` on loopback.
  explicit Terminal(int port) {
    const std::string connectTo = "::127.0.0.1:" + std::to_string(port);
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      setenv("TUNELIFT_FTP_CONNECT_TO", connectTo.c_str(), 1);
      execl(FTP_EXE, "ftp.exe", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(master_);
  }

  bool started() const { return pid_ > 0; }
  // Reads until `text` has been printed since the last call; false after 10 s without it.
  bool WaitFor(const std::string& text) {
    while (seen_.find(text, mark_) == std::string::npos) {
      if (!ReadSome()) {
        return false;
      }
    }
    mark_ = seen_.find(text, mark_) + text.size();
    return true;
  }
  void Type(const std::string& line) {
    const std::string keys = line + "\r";
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  // Reads to the end and returns the exit status.
  int Finish() {
    while (ReadSome()) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& screen() const { return seen_; }

private:
  bool ReadSome() {
    pollfd ready{master_, POLLIN, 0};
    char buffer[4096];
    if (poll(&ready, 1, 10000) != 1) {
      return false;
    }
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got <= 0) {
      return false;
    }
    seen_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  int master_ = -1;
  pid_t pid_ = -1;
  std::string seen_;
  std::size_t mark_ = 0;
};

TEST(FtpAtATerminal, ShowsTheUserNameTypedButNeverThePassword) {
  test::TempFolder received;
  test::FtpServer server(received.path());
  Terminal terminal(server.port());
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.WaitFor("ftp> ")) << terminal.screen();
  terminal.Type("open music.example.net");
  ASSERT_TRUE(terminal.WaitFor("User (")) << terminal.screen();
  terminal.Type("DeckHopper");
  ASSERT_TRUE(terminal.WaitFor("Password:")) << terminal.screen();
  terminal.Type("MovingTracks");
  ASSERT_TRUE(terminal.WaitFor("230")) << terminal.screen();
  ASSERT_TRUE(terminal.WaitFor("ftp> ")) << terminal.screen();
  terminal.Type("bye");
  EXPECT_EQ(terminal.Finish(), 0) << terminal.screen();

  // The terminal echoes what is typed: the user name shows, the password must not.
  EXPECT_NE(terminal.screen().find("DeckHopper"), std::string::npos) << terminal.screen();
  EXPECT_EQ(terminal.screen().find("MovingTracks"), std::string::npos) << terminal.screen();
}

}  // namespace
}  // namespace tunelift::ftp
