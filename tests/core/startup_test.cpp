// Start-up: entering the program folder, the staging folder, and the upload script.

#include "core/error.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

const std::string kExpectedScript =
    "prompt\r\n"
    "open music.example.net\r\n"
    "DeckHopper\r\n"
    "MovingTracks\r\n"
    "binary\r\n"
    "mput temp\\*.mp3\r\n"
    "bye\r\n";

using PrepareFolders = ProgramFolderTest;

TEST_F(PrepareFolders, CreatesAnEmptyStagingFolderWhenMissing) {
  area_->PrepareFolders();
  ASSERT_TRUE(fs::is_directory(StagingPath()));
  EXPECT_TRUE(fs::is_empty(StagingPath()));
}

TEST_F(PrepareFolders, KeepsAStagingFolderAndItsFiles) {
  WriteFile(StagingPath() / "left.mp3", "earlier run");
  WriteFile(StagingPath() / "notes.txt", "kept too");
  area_->PrepareFolders();
  EXPECT_EQ(Names(StagingPath()), (std::vector<std::string>{"left.mp3", "notes.txt"}));
  EXPECT_EQ(ReadFile(StagingPath() / "left.mp3"), "earlier run");
}

TEST_F(PrepareFolders, EntersTheProgramFolderWhenStartedElsewhere) {
  fs::current_path(outside_);
  area_->PrepareFolders();
  EXPECT_TRUE(fs::equivalent(fs::current_path(), root_));
  EXPECT_TRUE(fs::equivalent(services_->CurDir(), root_));
}

TEST_F(PrepareFolders, UsesTheFolderTextAsItStandsWhenItEndsInASeparator) {
  // A root's text ends in its separator; the staging folder's text then holds two in a row.
  const char separator = services_->Separator();
  UseProgramFolder(Text(root_) + separator);
  EXPECT_EQ(area_->StagingFolder(), Text(root_) + std::string(2, separator) + "temp");
  area_->PrepareFolders();
  EXPECT_TRUE(fs::is_directory(StagingPath()));
}

TEST_F(PrepareFolders, ReportsAPlainFileInTheWayWithItsPath) {
  WriteFile(root_ / "temp", "not a folder");
  try {
    area_->PrepareFolders();
    FAIL() << "a file named temp must stop the staging folder";
  } catch (const Error& error) {
    EXPECT_NE(error.number(), 0);
    EXPECT_NE(error.description().find(Text(StagingPath())), std::string::npos)
        << error.description();
    EXPECT_NE(error.description().find("exists"), std::string::npos) << error.description();
  }
}

TEST_F(PrepareFolders, ReportsAMissingProgramFolder) {
  UseProgramFolder(Text(root_ / "gone"));
  EXPECT_THROW(area_->PrepareFolders(), Error);
}

using WriteUploadScript = ProgramFolderTest;

TEST_F(WriteUploadScript, WritesTheSevenLinesWithCrLfAndNothingElse) {
  area_->PrepareFolders();
  area_->WriteUploadScript();
  const std::string bytes = ReadFile(root_ / "sendfiles.ftps");
  EXPECT_EQ(bytes, kExpectedScript);
  EXPECT_EQ(bytes.size(), 71u + std::string("music.example.net").size());
}

TEST_F(WriteUploadScript, ReplacesAnOlderScript) {
  WriteFile(root_ / "sendfiles.ftps", std::string(500, 'x') + "\r\nold host\r\n");
  area_->PrepareFolders();
  area_->WriteUploadScript();
  EXPECT_EQ(ReadFile(root_ / "sendfiles.ftps"), kExpectedScript);
}

TEST_F(WriteUploadScript, IsTheSameWhetherFilesWereStagedOrNot) {
  WriteFile(StagingPath() / "a.mp3", "music");
  area_->PrepareFolders();
  area_->WriteUploadScript();
  EXPECT_EQ(ReadFile(root_ / "sendfiles.ftps"), kExpectedScript);
}

TEST_F(WriteUploadScript, ReportsAFolderInTheScriptsPlace) {
  fs::create_directories(root_ / "sendfiles.ftps");
  area_->PrepareFolders();
  try {
    area_->WriteUploadScript();
    FAIL() << "a folder cannot become the script";
  } catch (const Error& error) {
    EXPECT_NE(error.description().find("sendfiles.ftps"), std::string::npos);
  }
}

}  // namespace
}  // namespace tunelift::testing
