// Start-up: entering the program folder, the staging folder, and the upload script.

#include <sys/stat.h>

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

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

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
  UseProgramFolder(root_.string() + "/");
  EXPECT_EQ(area_->StagingFolder(), root_.string() + "//temp");
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
    EXPECT_NE(error.description().find(StagingPath().string()), std::string::npos)
        << error.description();
    EXPECT_NE(error.description().find("exists"), std::string::npos) << error.description();
  }
}

TEST_F(PrepareFolders, ReportsAMissingProgramFolder) {
  UseProgramFolder((root_ / "gone").string());
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

TEST_F(WriteUploadScript, ReplacesAnOlderScriptAndNarrowsItsRights) {
  WriteFile(root_ / "sendfiles.ftps", std::string(500, 'x') + "\r\nold host\r\n");
  fs::permissions(root_ / "sendfiles.ftps", fs::perms::all);
  area_->PrepareFolders();
  area_->WriteUploadScript();
  EXPECT_EQ(ReadFile(root_ / "sendfiles.ftps"), kExpectedScript);
  EXPECT_EQ(ModeOf(root_ / "sendfiles.ftps"), 0600u);
}

TEST_F(WriteUploadScript, CreatesTheScriptForItsOwnerAlone) {
  const mode_t previous = umask(0);
  area_->PrepareFolders();
  area_->WriteUploadScript();
  umask(previous);
  EXPECT_EQ(ModeOf(root_ / "sendfiles.ftps"), 0600u);
}

TEST_F(WriteUploadScript, IsTheSameWhetherFilesWereStagedOrNot) {
  WriteFile(StagingPath() / "a.mp3", "music");
  area_->PrepareFolders();
  area_->WriteUploadScript();
  EXPECT_EQ(ReadFile(root_ / "sendfiles.ftps"), kExpectedScript);
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
