// Starting the FTP client on POSIX: a stand-in client reports how it was started through a
// FIFO and waits on a lock the test holds.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <vector>
#include <sstream>

#include "core/error.h"
#include "core/upload_outcome.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

using Record = std::multimap<std::string, std::string>;

// Puts the stand-in client into the program folder as ftp.exe and holds it at its end
// until Release().
class Sending : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
    area_->WriteUploadScript();
    fs::copy_file(STAND_IN_CLIENT, root_ / "ftp.exe");
    ASSERT_EQ(mkfifo((root_ / "client-started.fifo").c_str(), 0600), 0);
    // Read and write ends both here: reading never sees end of file between two clients.
    started_ = open((root_ / "client-started.fifo").c_str(), O_RDWR | O_CLOEXEC);
    release_ = open((root_ / "client-release.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(started_, 0);
    ASSERT_EQ(flock(release_, LOCK_EX), 0);
  }

  void TearDown() override {
    Release();
    close(started_);
    ProgramFolderTest::TearDown();
  }

  void Release() {
    if (release_ >= 0) {
      close(release_);
      release_ = -1;
    }
  }

  // Lets the clients go and waits until the area has seen every one of them end.
  void ReleaseAndAwaitEnd() {
    Release();
    for (int i = 0; i < 3000 && area_->UploadRunning(); ++i) {
      usleep(10000);
    }
    ASSERT_FALSE(area_->UploadRunning()) << "the clients never ended";
  }

  // True when this process has no child left, running or ended and unreaped.
  static bool NoChildLeft() {
    siginfo_t info{};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
  }

  // The next client's report of how it was started; empty after 30 s without one.
  Record NextClient() {
    std::string line;
    char c = 0;
    pollfd ready{started_, POLLIN, 0};
    while (poll(&ready, 1, 30000) == 1 && read(started_, &c, 1) == 1 && c != '\n') {
      line.push_back(c);
    }
    Record record;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t')) {
      const std::size_t equals = field.find('=');
      record.emplace(field.substr(0, equals), field.substr(equals + 1));
    }
    return record;
  }

  static std::vector<std::string> Arguments(const Record& record) {
    std::vector<std::string> args;
    auto [first, last] = record.equal_range("arg");
    for (auto it = first; it != last; ++it) {
      args.push_back(it->second);
    }
    return args;
  }

  int started_ = -1;
  int release_ = -1;
};

TEST_F(Sending, StartsTheClientOnTheScriptAndReturnsWhileItRuns) {
  // A descriptor the tool holds open must not reach the client.
  const int leaked = open(root_.c_str(), O_RDONLY);
  ASSERT_GE(leaked, 0);
  fs::current_path(outside_);
  area_->LaunchUpload();
  close(leaked);

  const Record client = NextClient();
  ASSERT_FALSE(client.empty()) << "the client never started";
  const pid_t pid = std::stoi(client.find("pid")->second);
  // The client is blocked on its release: the call has returned while it still runs.
  EXPECT_EQ(kill(pid, 0), 0);
  EXPECT_EQ(Arguments(client), (std::vector<std::string>{"ftp.exe", "-s:sendfiles.ftps"}));
  EXPECT_TRUE(fs::equivalent(client.find("cwd")->second, root_));
  EXPECT_TRUE(fs::equivalent(fs::current_path(), root_));
  EXPECT_EQ(client.find("fds")->second, "");
  // The report's full path, beside the transcript, and the tool's own environment besides.
  EXPECT_EQ(client.find("report")->second, Text(root_ / "sendfiles-1.report"));
  EXPECT_EQ(client.find("path")->second, getenv("PATH"));
  EXPECT_TRUE(area_->UploadRunning());
}

TEST_F(Sending, CapturesEachSendsTranscriptForItsOwnerAlone) {
  area_->LaunchUpload();
  area_->LaunchUpload();
  ASSERT_FALSE(NextClient().empty());
  ASSERT_FALSE(NextClient().empty());
  ReleaseAndAwaitEnd();
  for (const char* name : {"sendfiles-1.log", "sendfiles-2.log"}) {
    EXPECT_EQ(ReadFile(root_ / name), "stand-in client\nftp: stand-in complaint\n") << name;
    EXPECT_EQ(fs::status(root_ / name).permissions(),
              fs::perms::owner_read | fs::perms::owner_write)
        << name;
  }
}

TEST_F(Sending, TellsEachEndedSendOnceAndLeavesNoZombie) {
  area_->LaunchUpload();
  ASSERT_FALSE(NextClient().empty());
  EXPECT_TRUE(area_->TakeEndedUploads().empty());
  ReleaseAndAwaitEnd();
  EXPECT_TRUE(NoChildLeft());
  const std::vector<UploadOutcome> ended = area_->TakeEndedUploads();
  ASSERT_EQ(ended.size(), 1U);
  EXPECT_EQ(ended[0].exitStatus, 0);
  EXPECT_EQ(ended[0].transcript, Text(root_ / "sendfiles-1.log"));
  // This stand-in writes no report, whatever its transcript says.
  EXPECT_FALSE(ended[0].report.has_value());
  ASSERT_TRUE(ended[0].reportError.has_value());
  EXPECT_EQ(ended[0].reportError->number(), errnum::kFileNotFound);
  EXPECT_EQ(ended[0].musicStaged, false);
  EXPECT_TRUE(area_->TakeEndedUploads().empty());
}

TEST_F(Sending, TwoSendsStartTwoClients) {
  area_->LaunchUpload();
  area_->LaunchUpload();
  const Record first = NextClient();
  const Record second = NextClient();
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  const pid_t firstPid = std::stoi(first.find("pid")->second);
  const pid_t secondPid = std::stoi(second.find("pid")->second);
  EXPECT_NE(firstPid, secondPid);
  EXPECT_EQ(kill(firstPid, 0), 0);
  EXPECT_EQ(kill(secondPid, 0), 0);
  ReleaseAndAwaitEnd();
  EXPECT_EQ(area_->TakeEndedUploads().size(), 2U);
}

TEST_F(Sending, StartsTheClientWithAnEmptyStagingFolder) {
  ASSERT_TRUE(fs::is_empty(StagingPath()));
  area_->LaunchUpload();
  EXPECT_FALSE(NextClient().empty());
}

TEST_F(Sending, ReportsAMissingClient) {
  fs::remove(root_ / "ftp.exe");
  // A search path without any ftp.exe of the machine's.
  const std::string savedPath = getenv("PATH");
  setenv("PATH", outside_.c_str(), 1);
  try {
    area_->LaunchUpload();
    setenv("PATH", savedPath.c_str(), 1);
    FAIL() << "a missing client must not pass for a started one";
  } catch (const Error& error) {
    setenv("PATH", savedPath.c_str(), 1);
    EXPECT_EQ(error.number(), errnum::kFileNotFound);
    EXPECT_NE(error.description().find("ftp.exe"), std::string::npos) << error.description();
  }
}

TEST_F(Sending, ReportsAClientThatCannotStart) {
  // An executable file that is no program: the start itself fails.
  fs::remove(root_ / "ftp.exe");
  WriteFile(root_ / "ftp.exe", "not a program");
  fs::permissions(root_ / "ftp.exe", fs::perms::owner_all);
  EXPECT_THROW(area_->LaunchUpload(), Error);
  // Nothing half-done: no transcript, no process, no send to wait for.
  EXPECT_FALSE(fs::exists(root_ / "sendfiles-1.log"));
  EXPECT_TRUE(NoChildLeft());
  EXPECT_FALSE(area_->UploadRunning());
}

}  // namespace
}  // namespace tunelift::testing
