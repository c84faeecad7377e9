// Symbolic links where the tool writes or deletes: each operation replaces or deletes a link
// as a link, and never writes into or empties what a link leads to.

#include <sys/stat.h>

#include "core/error.h"
#include "posix_checks.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

// The user's own files outside the program folder, which links point at.
class Links : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    WriteFile(outside_ / "diary.txt", "a user's own file");
    fs::permissions(outside_ / "diary.txt", fs::perms::owner_read | fs::perms::owner_write |
                                                fs::perms::group_read | fs::perms::others_read);
    WriteFile(outside_ / "album" / "song.mp3", "the user's music");
    WriteFile(outside_ / "album" / "cover.jpg", "the user's picture");
  }

  // The user's files are exactly as SetUp made them.
  void ExpectOutsideUntouched() {
    EXPECT_EQ(ReadFile(outside_ / "diary.txt"), "a user's own file");
    EXPECT_EQ(ModeOf(outside_ / "diary.txt"), 0644u);
    EXPECT_EQ(Names(outside_ / "album"), (std::vector<std::string>{"cover.jpg", "song.mp3"}));
    EXPECT_EQ(ReadFile(outside_ / "album" / "song.mp3"), "the user's music");
  }

  // The staging folder becomes a link to the user's album, as if swapped while running.
  void SwapStagingFolderForALink() {
    fs::remove_all(StagingPath());
    fs::create_directory_symlink(outside_ / "album", StagingPath());
  }

  // The description of the error `action` throws; empty when it throws none.
  template <typename Action>
  static std::string FailureOf(Action action) {
    try {
      action();
    } catch (const Error& error) {
      return error.description();
    }
    ADD_FAILURE() << "a link was followed without a word";
    return {};
  }
};

TEST_F(Links, TheScriptReplacesALinkAndNeverWritesWhereItPoints) {
  area_->PrepareFolders();
  fs::create_symlink(outside_ / "diary.txt", root_ / "sendfiles.ftps");
  fs::create_symlink(outside_ / "not-yet.txt", root_ / "dangling");
  area_->WriteUploadScript();
  EXPECT_FALSE(fs::is_symlink(root_ / "sendfiles.ftps"));
  EXPECT_EQ(ModeOf(root_ / "sendfiles.ftps"), 0600u);
  EXPECT_NE(ReadFile(root_ / "sendfiles.ftps").find("MovingTracks"), std::string::npos);
  ExpectOutsideUntouched();

  // Finish removes the script it wrote; a link put back in its place goes as a link.
  fs::remove(root_ / "sendfiles.ftps");
  fs::create_symlink(outside_ / "diary.txt", root_ / "sendfiles.ftps");
  area_->RemoveUploadScript();
  EXPECT_FALSE(fs::exists(fs::symlink_status(root_ / "sendfiles.ftps")));
  ExpectOutsideUntouched();
}

TEST_F(Links, AStagingFolderThatIsALinkStopsStartUpAndIsLeftAsItIs) {
  for (const fs::path& target : {outside_ / "album", outside_ / "nowhere"}) {
    fs::remove(StagingPath());
    fs::create_directory_symlink(target, StagingPath());
    const std::string failure = FailureOf([&] { area_->PrepareFolders(); });
    EXPECT_NE(failure.find("symbolic link"), std::string::npos) << failure;
    EXPECT_TRUE(fs::is_symlink(StagingPath()));
    EXPECT_FALSE(fs::exists(outside_ / "nowhere"));
  }
  EXPECT_FALSE(services_->FolderExists(StagingPath().string()));
  ExpectOutsideUntouched();
}

TEST_F(Links, NothingIsStagedOrDeletedThroughAStagingFolderSwappedForALink) {
  area_->PrepareFolders();
  WriteFile(outside_ / "new.mp3", "picked music");
  SwapStagingFolderForALink();

  for (const std::string& failure :
       {FailureOf([&] { area_->StageFile((outside_ / "new.mp3").string()); }),
        FailureOf([&] { area_->DeleteStagedFile(StagingPath().string(), "song.mp3"); }),
        FailureOf([&] { area_->DeleteAllStaged(); })}) {
    EXPECT_NE(failure.find("symbolic link"), std::string::npos) << failure;
  }
  ExpectOutsideUntouched();  // no copy, no scratch file, nothing deleted

  // Finish finds no staging folder of its own; the link and the album stay.
  EXPECT_FALSE(area_->RemoveStagingFolder());
  EXPECT_TRUE(fs::is_symlink(StagingPath()));
  ExpectOutsideUntouched();
}

TEST_F(Links, AStagedNameThatIsALinkIsReplacedByTheCopyOrDeletedAsALink) {
  area_->PrepareFolders();
  fs::create_symlink(outside_ / "diary.txt", StagingPath() / "song.mp3");
  WriteFile(outside_ / "song.mp3", "picked music");
  area_->StageFile((outside_ / "song.mp3").string());
  EXPECT_FALSE(fs::is_symlink(StagingPath() / "song.mp3"));
  EXPECT_EQ(ReadFile(StagingPath() / "song.mp3"), "picked music");
  ExpectOutsideUntouched();

  // A staged link to the very file picked is still replaced by a copy of its own.
  fs::remove(StagingPath() / "song.mp3");
  fs::create_symlink(outside_ / "song.mp3", StagingPath() / "song.mp3");
  area_->StageFile((outside_ / "song.mp3").string());
  EXPECT_FALSE(fs::is_symlink(StagingPath() / "song.mp3"));

  fs::create_symlink(outside_ / "diary.txt", StagingPath() / "one.mp3");
  area_->DeleteStagedFile(StagingPath().string(), "one.mp3");
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"song.mp3"});
  ExpectOutsideUntouched();
}

TEST_F(Links, DeleteAllAndFinishDeleteLinksInsideAsLinks) {
  area_->PrepareFolders();
  fs::create_symlink(outside_ / "diary.txt", StagingPath() / "diary.mp3");
  fs::create_directory_symlink(outside_ / "album", StagingPath() / "album.mp3");
  area_->DeleteAllStaged();
  EXPECT_TRUE(fs::is_empty(StagingPath()));
  ExpectOutsideUntouched();

  fs::create_symlink(outside_ / "diary.txt", StagingPath() / "diary.mp3");
  fs::create_directory(StagingPath() / "inner");
  fs::create_directory_symlink(outside_ / "album", StagingPath() / "inner" / "album");
  EXPECT_TRUE(area_->RemoveStagingFolder());
  EXPECT_FALSE(fs::exists(fs::symlink_status(StagingPath())));
  ExpectOutsideUntouched();
}

TEST_F(Links, DeleteFolderGivenALinkDeletesOnlyTheLink) {
  fs::create_directory_symlink(outside_ / "album", root_ / "shortcut");
  services_->DeleteFolder((root_ / "shortcut").string());
  EXPECT_FALSE(fs::exists(fs::symlink_status(root_ / "shortcut")));
  ExpectOutsideUntouched();
}

}  // namespace
}  // namespace tunelift::testing
