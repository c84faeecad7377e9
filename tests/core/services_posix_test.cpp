// What the POSIX services keep of the Windows behaviour the tool was written against.

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
