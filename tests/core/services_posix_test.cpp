// What the POSIX services keep of the Windows behaviour the tool was written against, and
// the programs Shell starts: their output file, their exit status, and no zombie left.

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "core/error.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

using Kill = ProgramFolderTest;

TEST_F(Kill, MatchesNamesWithoutRegardToCaseAndSparesFolders) {
  for (const char* name : {"a.mp3", "B.MP3", "c.Mp3", "d.wav"}) {
    WriteFile(root_ / name, name);
  }
  fs::create_directories(root_ / "folder.mp3");
  services_->Kill((root_ / "*.mp3").string());
  EXPECT_EQ(Names(root_), (std::vector<std::string>{"d.wav", "folder.mp3"}));
}

TEST_F(Kill, FailsWithFileNotFoundWhenNothingMatches) {
  WriteFile(root_ / "d.wav", "w");
  try {
    services_->Kill((root_ / "*.mp3").string());
    FAIL() << "nothing matching must be reported";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kFileNotFound);
    EXPECT_NE(error.description().find("*.mp3"), std::string::npos);
  }
  EXPECT_EQ(Names(root_), std::vector<std::string>{"d.wav"});
}

TEST_F(Kill, TakesANameWithoutWildcardsLiterally) {
  WriteFile(root_ / "Script.ftps", "upper");
  WriteFile(root_ / "script.ftps", "lower");
  services_->Kill((root_ / "script.ftps").string());
  EXPECT_EQ(Names(root_), std::vector<std::string>{"Script.ftps"});
}

// Waits until the program has ended; false when it still runs after ten seconds.
bool AwaitEnd(RunningProgram& program) {
  for (int i = 0; i < 1000 && program.Running(); ++i) {
    usleep(10000);
  }
  return !program.Running();
}

// True when this process has no child left, running or ended and unreaped.
bool NoChildLeft() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}

using Shell = ProgramFolderTest;

TEST_F(Shell, SendsOutputAndErrorsToANewFileOnlyItsOwnerMayRead) {
  const fs::path output = root_ / "run.log";
  WriteFile(output, "an older, longer transcript that anyone could read\n");
  fs::permissions(output, fs::perms::all);
  auto program = services_->Shell(R"(sh -c "echo said; echo complained >&2; exit 3")",
                                  WindowStyle::Hidden, {.outputFile = output.string()});
  ASSERT_TRUE(AwaitEnd(*program));
  EXPECT_EQ(program->ExitStatus(), 3);
  EXPECT_EQ(ReadFile(output), "said\ncomplained\n");
  EXPECT_EQ(fs::status(output).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Shell, ReplacesALinkAtTheOutputNameInsteadOfWritingThroughIt) {
  WriteFile(outside_ / "precious.txt", "keep me");
  fs::create_symlink(outside_ / "precious.txt", root_ / "run.log");
  auto program = services_->Shell("sh -c \"echo said\"", WindowStyle::Hidden,
                                  {.outputFile = (root_ / "run.log").string()});
  ASSERT_TRUE(AwaitEnd(*program));
  EXPECT_EQ(ReadFile(outside_ / "precious.txt"), "keep me");
  EXPECT_FALSE(fs::is_symlink(root_ / "run.log"));
  EXPECT_EQ(ReadFile(root_ / "run.log"), "said\n");
}

TEST_F(Shell, ReportsAProgramEndedByASignalAsShellsDo) {
  auto program = services_->Shell("sh -c \"kill -KILL $$\"", WindowStyle::Hidden);
  ASSERT_TRUE(AwaitEnd(*program));
  EXPECT_EQ(program->ExitStatus(), 128 + SIGKILL);
}

TEST_F(Shell, LeavesNoZombieWhenTheProgramIsDroppedWhileItRuns) {
  services_->Shell("sh -c \"sleep 0.2\"", WindowStyle::Hidden).reset();
  bool gone = false;
  for (int i = 0; i < 1000 && !gone; ++i) {
    usleep(10000);
    gone = NoChildLeft();
  }
  EXPECT_TRUE(gone) << "the dropped program was never reaped";
}

TEST_F(Shell, StartsNothingWhenTheOutputFileCannotBeMade) {
  try {
    services_->Shell("sh -c \"echo said\"", WindowStyle::Hidden,
                     {.outputFile = (root_ / "missing" / "run.log").string()});
    FAIL() << "an output file that cannot be made must stop the start";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kFileNotFound);
    EXPECT_NE(error.description().find("run.log"), std::string::npos) << error.description();
  }
  EXPECT_TRUE(NoChildLeft());
}

TEST(NativeServices, FindsTheRunningProgramsFolder) {
  auto services = MakeNativeServices();
  EXPECT_TRUE(fs::equivalent(services->ProgramFolder(),
                             fs::read_symlink("/proc/self/exe").parent_path()));
  EXPECT_NE(services->ProgramFolder().back(), '/');
}

TEST(NativeServices, NeverFailsToAnswerWhetherAFolderExists) {
  auto services = MakeNativeServices("/");
  EXPECT_TRUE(services->FolderExists("/"));
  EXPECT_FALSE(services->FolderExists("/no/such/folder/anywhere"));
  EXPECT_FALSE(services->FolderExists("/proc/self/exe"));
  EXPECT_FALSE(services->FolderExists(""));
}

}  // namespace
}  // namespace tunelift::testing
