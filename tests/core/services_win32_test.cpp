// What only the Win32 services need to show: drives, the program folder of the running .exe,
// the script's access list, 8.3 short names, the hidden attribute and copies that fail.

#include <windows.h>

#include <cstdlib>

#include "core/error.h"
#include "core/owner_only_win32.h"
#include "listing/listing.h"
#include "text/utf8_path.h"
#include "program_folder.h"
#include "win32_checks.h"

namespace tunelift::testing {
namespace {

// The second drive that the Wine prefix maps for these tests (TUNELIFT_TEST_SECOND_DRIVE,
// "T:"), or empty where there is none.
std::string SecondDrive() {
  const char* drive = std::getenv("TUNELIFT_TEST_SECOND_DRIVE");
  return drive != nullptr ? drive : "";
}

// A program folder on the second drive, removed again at the end of the test.
class OnSecondDrive : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    if (SecondDrive().empty()) {
      GTEST_SKIP() << "no second drive (TUNELIFT_TEST_SECOND_DRIVE) to change to";
    }
    drive_ = SecondDrive() + "\\";
    folder_ = PathFromUtf8(drive_) / root_.parent_path().filename() / "program";
    fs::create_directories(folder_);
  }
  void TearDown() override {
    ProgramFolderTest::TearDown();
    std::error_code ignored;
    fs::remove_all(folder_.parent_path(), ignored);
    fs::remove_all(PathFromUtf8(drive_ + "temp"), ignored);
  }

  std::string drive_;
  fs::path folder_;
};

TEST_F(OnSecondDrive, PrepareFoldersChangesDriveAndFolder) {
  fs::current_path(outside_);  // started on another drive
  ASSERT_NE(Text(fs::current_path()).substr(0, 2), SecondDrive());
  UseProgramFolder(Text(folder_));
  area_->PrepareFolders();
  EXPECT_EQ(services_->CurDir(), Text(folder_));
  EXPECT_TRUE(fs::is_directory(folder_ / "temp"));
  area_->WriteUploadScript();
  EXPECT_TRUE(fs::exists(folder_ / "sendfiles.ftps"));
}

TEST_F(OnSecondDrive, UsesADrivesRootWithItsTwoSeparatorsAsTheyStand) {
  UseProgramFolder(drive_);
  EXPECT_EQ(area_->StagingFolder(), SecondDrive() + "\\\\temp");
  area_->PrepareFolders();
  EXPECT_EQ(services_->CurDir(), drive_);
  EXPECT_TRUE(fs::is_directory(PathFromUtf8(drive_ + "temp")));
  EXPECT_TRUE(area_->RemoveStagingFolder());
  EXPECT_FALSE(fs::exists(PathFromUtf8(drive_ + "temp")));
}

TEST(NativeServices, FindTheFolderOfTheRunningExe) {
  wchar_t path[MAX_PATH * 4] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH * 4), 0u);
  EXPECT_EQ(MakeNativeServices()->ProgramFolder(), Utf8FromPath(fs::path(path).parent_path()));
}

using WriteUploadScript = ProgramFolderTest;

TEST(OwnerOnlySecurity, AllowsTheUserAloneAndInheritsNothing) {
  OwnerOnlySecurity ownerOnly;
  EXPECT_TRUE(IsForItsOwnerAlone(ownerOnly.attributes()->lpSecurityDescriptor));
  EXPECT_FALSE(ownerOnly.attributes()->bInheritHandle);
}

TEST_F(WriteUploadScript, GivesTheScriptAnAccessListOfItsOwnerAlone) {
  WriteFile(root_ / "sendfiles.ftps", "an older script, readable by anyone");
  area_->PrepareFolders();
  area_->WriteUploadScript();
  EXPECT_EQ(Names(root_), (std::vector<std::string>{"sendfiles.ftps", "temp"}));
  if (!FileSystemKeepsAccessLists(root_)) {
    GTEST_SKIP() << "this file system (Wine's) keeps no access lists of files";
  }
  EXPECT_TRUE(IsForItsOwnerAlone(root_ / "sendfiles.ftps"));
}

using Kill = ProgramFolderTest;

TEST_F(Kill, NeverWidensAMatchThroughShortNames) {
  WriteFile(root_ / "track.mp3x", "not an mp3");
  WriteFile(root_ / "song.mp3", "an mp3");
  // Where the system gives short names, "track.mp3x" has one ending in ".MP3".
  wchar_t shortName[MAX_PATH] = {};
  if (GetShortPathNameW((root_ / "track.mp3x").c_str(), shortName, MAX_PATH) > 0) {
    RecordProperty("short name", Utf8FromPath(fs::path(shortName).filename()));
  }
  services_->Kill(Text(root_ / "*.mp3"));
  EXPECT_EQ(Names(root_), std::vector<std::string>{"track.mp3x"});
}

TEST_F(Kill, TakesFilesWithTheHiddenAttributeToo) {
  WriteFile(root_ / "Thumbs.db", "hidden");
  ASSERT_TRUE(SetFileAttributesW((root_ / "Thumbs.db").c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(ListMatching(root_, "*.*").empty());  // the list leaves it out
  services_->Kill(Text(root_ / "*.*"));
  EXPECT_TRUE(fs::is_empty(root_));
}

class Copying : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
    WriteFile(StagingPath() / "song.mp3", "the older copy");
    WriteFile(outside_ / "song.mp3", "the new copy");
  }
};

TEST_F(Copying, KeepsTheOlderCopyWhenTheSourceCannotBeRead) {
  // Opened without sharing: nobody else may read it while the handle lives.
  const UniqueHandle locked = OwnHandle(CreateFileW((outside_ / "song.mp3").c_str(), GENERIC_READ,
                                                    0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locked);
  EXPECT_THROW(area_->StageFile(Text(outside_ / "song.mp3")), Error);
  EXPECT_EQ(ReadFile(StagingPath() / "song.mp3"), "the older copy");
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"song.mp3"});
}

TEST_F(Copying, KeepsAReadOnlyStagedCopyAndLeavesNoScratchFile) {
  fs::permissions(StagingPath() / "song.mp3", fs::perms::owner_read);
  try {
    area_->StageFile(Text(outside_ / "song.mp3"));
    FAIL() << "a read-only staged copy is not replaced";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kPermissionDenied) << error.description();
  }
  EXPECT_EQ(ReadFile(StagingPath() / "song.mp3"), "the older copy");
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"song.mp3"});
}

TEST_F(Copying, MakesACopyOfAHiddenReadOnlySourceThatListsAndDeletes) {
  ASSERT_TRUE(SetFileAttributesW((outside_ / "song.mp3").c_str(),
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  area_->StageFile(Text(outside_ / "song.mp3"));
  EXPECT_EQ(ListMatching(StagingPath(), "*.mp3"), std::vector<std::string>{"song.mp3"});
  EXPECT_TRUE(area_->RemoveStagingFolder());
}

}  // namespace
}  // namespace tunelift::testing
