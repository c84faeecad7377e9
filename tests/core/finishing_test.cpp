// Removing what the tool left on disk: the staging folder and the upload script.

#include "core/error.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

using Finishing = ProgramFolderTest;

TEST_F(Finishing, RemovesTheStagingFolderWithEverythingInIt) {
  area_->PrepareFolders();
  WriteFile(StagingPath() / "song.mp3", "m");
  WriteFile(StagingPath() / "voice.wav", "w");
  WriteFile(StagingPath() / "album" / "inner.mp3", "i");
  EXPECT_TRUE(area_->RemoveStagingFolder());
  EXPECT_FALSE(fs::exists(StagingPath()));
}

TEST_F(Finishing, SaysWhenThereWasNoStagingFolder) {
  EXPECT_FALSE(area_->RemoveStagingFolder());
  EXPECT_TRUE(fs::exists(root_));
}

TEST_F(Finishing, KeepsAStagingFolderHoldingAReadOnlyFile) {
  area_->PrepareFolders();
  WriteFile(StagingPath() / "a.mp3", "a");
  WriteFile(StagingPath() / "locked.mp3", "l");
  fs::permissions(StagingPath() / "locked.mp3", fs::perms::owner_read);
  try {
    area_->RemoveStagingFolder();
    FAIL() << "a read-only file must stop the deletion";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kPermissionDenied);
    EXPECT_NE(error.description().find("locked.mp3"), std::string::npos);
  }
  EXPECT_EQ(Names(StagingPath()), (std::vector<std::string>{"a.mp3", "locked.mp3"}));
}

TEST_F(Finishing, RemovesTheScriptAndToleratesItsAbsence) {
  area_->PrepareFolders();
  area_->WriteUploadScript();
  area_->RemoveUploadScript();
  EXPECT_FALSE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_NO_THROW(area_->RemoveUploadScript());
}

TEST_F(Finishing, RemovesEverySendsTranscriptWithTheScript) {
  area_->PrepareFolders();
  area_->WriteUploadScript();
  // The second as an earlier run that ended without "Finish!" left it.
  WriteFile(root_ / "sendfiles-1.log", "t");
  WriteFile(root_ / "sendfiles-12.log", "t");
  WriteFile(root_ / "notes.log", "mine");
  area_->RemoveUploadScript();
  EXPECT_EQ(Names(root_), (std::vector<std::string>{"notes.log", "temp"}));
}

}  // namespace
}  // namespace tunelift::testing
