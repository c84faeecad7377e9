// What only the POSIX services need to show: file modes, pipes, a full disk, names that hold
// wildcard characters or differ only in case, the program folder from /proc, and the programs
// Shell starts: their output file, their exit status, and no zombie left.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/error.h"
#include "posix_checks.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

using WriteUploadScript = ProgramFolderTest;

TEST_F(WriteUploadScript, NarrowsTheRightsOfAnOlderScript) {
  WriteFile(root_ / "sendfiles.ftps", "old script");
  fs::permissions(root_ / "sendfiles.ftps", fs::perms::all);
  area_->PrepareFolders();
  area_->WriteUploadScript();
  EXPECT_EQ(ModeOf(root_ / "sendfiles.ftps"), 0600u);
}

TEST_F(WriteUploadScript, CreatesTheScriptForItsOwnerAlone) {
  const mode_t previous = umask(0);
  area_->PrepareFolders();
  area_->WriteUploadScript();
  umask(previous);
  EXPECT_EQ(ModeOf(root_ / "sendfiles.ftps"), 0600u);
}

TEST_F(WriteUploadScript, AWriteThatFailsLeavesTheOlderScriptOrNone) {
  area_->PrepareFolders();
  for (const bool older : {false, true}) {
    if (older) {
      WriteFile(root_ / "sendfiles.ftps", "older script\r\n");
    }
    try {
      const FileSizeLimit limit(10);  // the disk fills up part way through the script
      area_->WriteUploadScript();
      FAIL() << "a script cut short must not pass for written";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), errnum::kDiskFull) << error.description();
    }
    // No empty script, no scratch file left beside it.
    EXPECT_EQ(Names(root_), older ? (std::vector<std::string>{"sendfiles.ftps", "temp"})
                                  : std::vector<std::string>{"temp"});
  }
  EXPECT_EQ(ReadFile(root_ / "sendfiles.ftps"), "older script\r\n");
}

class PosixStaging : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
  }
};

TEST_F(PosixStaging, RefusesAPipeInsteadOfWaitingOnIt) {
  ASSERT_EQ(mkfifo((outside_ / "stream.mp3").c_str(), 0600), 0);
  EXPECT_THROW(area_->StageFile((outside_ / "stream.mp3").string()), Error);
  EXPECT_TRUE(fs::is_empty(StagingPath()));
}

TEST_F(PosixStaging, ACopyThatFailsPartWayKeepsTheOlderCopyAndLeavesNoPart) {
  WriteFile(StagingPath() / "big.mp3", "older copy");
  WriteFile(outside_ / "big.mp3", std::string(1 << 20, 'm'));
  // A file-size limit (ulimit -f) makes the copy fail part way, as a full disk would. The
  // test leaves SIGXFSZ as the program finds it: were it not ignored, it would end the test.
  bool failed = false;
  {
    const FileSizeLimit limit(64 * 1024);
    try {
      area_->StageFile((outside_ / "big.mp3").string());
    } catch (const Error& error) {
      failed = true;
      EXPECT_EQ(error.number(), errnum::kDiskFull) << error.description();
    }
  }
  EXPECT_TRUE(failed);
  EXPECT_EQ(ReadFile(StagingPath() / "big.mp3"), "older copy");
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"big.mp3"});
}

TEST_F(PosixStaging, DeletesExactlyTheNamedFileEvenWithWildcardCharacters) {
  for (const char* name : {"a*.mp3", "ab.mp3", "a?.mp3", "az.mp3", "[a].mp3", "a.mp3"}) {
    WriteFile(StagingPath() / name, name);
  }
  area_->DeleteStagedFile(StagingPath().string(), "a*.mp3");
  area_->DeleteStagedFile(StagingPath().string(), "[a].mp3");
  EXPECT_EQ(Names(StagingPath()),
            (std::vector<std::string>{"a.mp3", "a?.mp3", "ab.mp3", "az.mp3"}));
}

using Kill = ProgramFolderTest;

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
  const mode_t umaskBefore = umask(0);  // the file must not be made wider than the owner's
  auto program = services_->Shell(R"(sh -c "echo said; echo complained >&2; exit 3")",
                                  WindowStyle::Hidden, {.outputFile = output.string()});
  umask(umaskBefore);
  ASSERT_TRUE(AwaitEnd(*program));
  EXPECT_EQ(program->ExitStatus(), 3);
  EXPECT_EQ(ReadFile(output), "said\ncomplained\n");
  EXPECT_EQ(fs::status(output).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Shell, StartsNothingWhenTheOutputNameIsTakenAndLeavesWhatHasIt) {
  WriteFile(root_ / "older.log", "an older transcript");
  WriteFile(outside_ / "precious.txt", "keep me");
  fs::create_symlink(outside_ / "precious.txt", root_ / "link.log");
  fs::create_symlink(outside_ / "nowhere", root_ / "dangling.log");
  for (const char* name : {"older.log", "link.log", "dangling.log"}) {
    try {
      services_->Shell("sh -c \"echo said\"", WindowStyle::Hidden,
                       {.outputFile = (root_ / name).string()});
      ADD_FAILURE() << "started on the taken name " << name;
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), errnum::kFileExists) << error.description();
      EXPECT_NE(error.description().find(name), std::string::npos) << error.description();
    }
  }
  EXPECT_TRUE(NoChildLeft());
  EXPECT_EQ(ReadFile(root_ / "older.log"), "an older transcript");
  EXPECT_EQ(ReadFile(outside_ / "precious.txt"), "keep me");
  EXPECT_TRUE(fs::is_symlink(root_ / "link.log"));
  EXPECT_FALSE(fs::exists(outside_ / "nowhere"));
}

TEST_F(Shell, ReportsAProgramEndedByASignalAsShellsDo) {
  auto program = services_->Shell("sh -c \"kill -KILL $$\"", WindowStyle::Hidden);
  ASSERT_TRUE(AwaitEnd(*program));
  EXPECT_EQ(program->ExitStatus(), 128 + SIGKILL);
}

// True once no process has the number `pid`, or only an ended one not yet reaped.
bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) {
    return true;
  }
  // "PID (NAME) STATE ...": the name may hold anything, the state follows its last ')'.
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && line.compare(close + 1, 3, " Z ") == 0;
}

TEST_F(Shell, StopEndsTheProgramWithWhatItStartedAndReportsTheSignal) {
  services_->ChDir(Text(root_));
  auto program = services_->Shell(
      "sh -c \"sleep 60 & echo $! >child.pid.part; "
      "mv child.pid.part child.pid; wait\"",
      WindowStyle::Hidden);
  for (int i = 0; i < 1000 && !fs::exists(root_ / "child.pid"); ++i) {
    usleep(10000);
  }
  const pid_t child = std::stoi(ReadFile(root_ / "child.pid"));
  ASSERT_FALSE(ProcessGone(child));
  program->Stop();
  EXPECT_FALSE(program->Running());
  EXPECT_EQ(program->ExitStatus(), 128 + SIGKILL);
  EXPECT_TRUE(NoChildLeft());
  bool childGone = false;
  for (int i = 0; i < 500 && !childGone; ++i) {
    childGone = ProcessGone(child);
    usleep(10000);
  }
  EXPECT_TRUE(childGone) << "what the program started outlived it";
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

TEST_F(Shell, GivesTheProgramTheToolsEnvironmentWithTheVariablesAdded) {
  setenv("TUNELIFT_FTP_REPORT", "/an/older/report", 1);
  setenv("TUNELIFT_INHERITED", "kept", 1);
  auto program =
      services_->Shell("env", WindowStyle::Hidden,
                       {.outputFile = (root_ / "env.log").string(),
                        .environment = {{.name = "TUNELIFT_FTP_REPORT", .value = "/the/new report"},
                                        {.name = "TUNELIFT_ADDED", .value = "a=b"}}});
  unsetenv("TUNELIFT_FTP_REPORT");
  unsetenv("TUNELIFT_INHERITED");
  ASSERT_TRUE(AwaitEnd(*program));
  std::vector<std::string> ours;
  std::istringstream lines(ReadFile(root_ / "env.log"));
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("TUNELIFT_") || line.starts_with("PATH=")) {
      ours.push_back(line);
    }
  }
  std::sort(ours.begin(), ours.end());
  EXPECT_EQ(ours, (std::vector<std::string>{
                      "PATH=" + std::string(getenv("PATH")), "TUNELIFT_ADDED=a=b",
                      "TUNELIFT_FTP_REPORT=/the/new report", "TUNELIFT_INHERITED=kept"}));
}

TEST(NativeServices, FindsTheRunningProgramsFolder) {
  auto services = MakeNativeServices();
  EXPECT_TRUE(
      fs::equivalent(services->ProgramFolder(), fs::read_symlink("/proc/self/exe").parent_path()));
}

TEST(NativeServices, AnswerForTheRootAndForALinkToAFile) {
  auto services = MakeNativeServices("/");
  EXPECT_TRUE(services->FolderExists("/"));
  EXPECT_FALSE(services->FolderExists("/proc/self/exe"));
}

}  // namespace
}  // namespace tunelift::testing
