// What the file services promise on every platform, beyond what the operations' tests show.

#include "core/error.h"
#include "program_folder.h"

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

TEST(NativeServices, GiveTheProgramFolderWithoutAClosingSeparator) {
  auto services = MakeNativeServices();
  const std::string folder = services->ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), services->Separator());
  EXPECT_TRUE(services->FolderExists(folder));
}

}  // namespace
}  // namespace tunelift::testing
