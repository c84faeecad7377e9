// What the file services promise on every platform, beyond what the operations' tests show.

#include <chrono>
#include <thread>

#include "core/error.h"
#include "program_folder.h"
#include "replay_client.h"

namespace tunelift::testing {
namespace {

using Kill = ProgramFolderTest;

TEST_F(Kill, MatchesNamesWithoutRegardToCaseAndSparesFolders) {
  for (const char* name : {"a.mp3", "B.MP3", "c.Mp3", "d.wav", "été.mp3", ".hidden.mp3"}) {
    WriteFile(In(root_, name), name);
  }
  fs::create_directories(root_ / "folder.mp3");
  services_->Kill(Text(root_ / "*.MP3"));
  EXPECT_EQ(Names(root_), (std::vector<std::string>{"d.wav", "folder.mp3"}));
}

TEST_F(Kill, TakesNamesWithoutADotForStarDotStar) {
  for (const char* name : {"README", "song.mp3", "archive.tar.gz"}) {
    WriteFile(In(root_, name), name);
  }
  services_->Kill(Text(root_ / "*.*"));
  EXPECT_TRUE(fs::is_empty(root_));
}

TEST_F(Kill, FailsWithFileNotFoundWhenNothingMatches) {
  WriteFile(root_ / "d.wav", "w");
  try {
    services_->Kill(Text(root_ / "*.mp3"));
    FAIL() << "nothing matching must be reported";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kFileNotFound);
    EXPECT_NE(error.description().find("*.mp3"), std::string::npos);
  }
  EXPECT_EQ(Names(root_), std::vector<std::string>{"d.wav"});
}

using FolderExists = ProgramFolderTest;

TEST_F(FolderExists, NeverFailsToAnswer) {
  WriteFile(root_ / "plain.txt", "not a folder");
  EXPECT_TRUE(services_->FolderExists(Text(root_)));
  EXPECT_FALSE(services_->FolderExists(Text(root_ / "no" / "such" / "folder")));
  EXPECT_FALSE(services_->FolderExists(Text(root_ / "plain.txt")));
  EXPECT_FALSE(services_->FolderExists(""));
}

// Starting the stand-in client (replay_client.h) in the program folder.
class ShellEnvironment : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    InstallStandInClient(root_);
    services_->ChDir(Text(root_));
  }

  // Waits up to 30 s for the program to end.
  static bool Ends(RunningProgram& program) {
    for (int tries = 0; tries < 1500 && program.Running(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !program.Running();
  }
};

TEST_F(ShellEnvironment, GivesTheProgramTheVariablesAddedToIt) {
  ReportForClients(root_, "tunelift-send-report\t1\nend\t0\n");
  const fs::path report = root_ / "send 1.report";
  const std::unique_ptr<RunningProgram> client =
      services_->Shell("ftp.exe", WindowStyle::Hidden,
                       {.environment = {{.name = "TUNELIFT_FTP_REPORT", .value = Text(report)}}});
  ASSERT_TRUE(Ends(*client));
  EXPECT_EQ(client->ExitStatus(), 0);
  // The stand-in found where to write in its environment, and wrote there.
  EXPECT_EQ(ReadFile(report), "tunelift-send-report\t1\nend\t0\n");
}

TEST_F(ShellEnvironment, StartsNothingWithAVariableNoEnvironmentCanHold) {
  const std::vector<EnvironmentVariable> unfit = {
      {.name = "", .value = "x"},
      {.name = "TUNELIFT=FTP", .value = "x"},
      {.name = std::string("TUNELIFT\0FTP", 12), .value = "x"},
      {.name = "TUNELIFT_FTP_REPORT", .value = std::string("a\0b", 3)},
  };
  for (const EnvironmentVariable& variable : unfit) {
    try {
      services_->Shell("ftp.exe", WindowStyle::Hidden, {.environment = {variable}});
      ADD_FAILURE() << "started with the variable '" << variable.name << "'";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), errnum::kInvalidCall) << error.description();
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // a client would have begun
  EXPECT_TRUE(ClientRuns(root_).empty());
}

TEST_F(ShellEnvironment, StopEndsTheProgramAtOnceAndRunningSaysSoStraightAway) {
  ClientHold hold(root_);
  const std::unique_ptr<RunningProgram> client = services_->Shell("ftp.exe", WindowStyle::Hidden);
  for (int tries = 0; tries < 1500 && ClientRuns(root_).empty(); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(ClientRuns(root_).size(), 1u);
  ASSERT_TRUE(client->Running());
  client->Stop();
  EXPECT_FALSE(client->Running());
  EXPECT_NE(client->ExitStatus(), 0);
  const int stoppedStatus = client->ExitStatus();
  client->Stop();  // ended already: nothing to do
  EXPECT_EQ(client->ExitStatus(), stoppedStatus);
}

TEST_F(ShellEnvironment, StopLeavesTheStatusOfAProgramThatEndedOnItsOwn) {
  ReplayForClients(root_, 3, "");
  const std::unique_ptr<RunningProgram> client = services_->Shell("ftp.exe", WindowStyle::Hidden);
  ASSERT_TRUE(Ends(*client));
  client->Stop();
  EXPECT_EQ(client->ExitStatus(), 3);
}

TEST(NativeServices, GiveTheProgramFolderWithoutAClosingSeparator) {
  auto services = MakeNativeServices();
  const std::string folder = services->ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), services->Separator());
  EXPECT_TRUE(services->FolderExists(folder));
}

}  // namespace
}  // namespace tunelift::testing
