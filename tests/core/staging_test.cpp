// Copying chosen files into the staging folder and deleting them again.

#include "core/error.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

class Staging : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
  }
};

TEST_F(Staging, CopiesTheChosenFileUnderItsOwnName) {
  WriteFile(outside_ / "Song One.mp3", "ID3 music");
  area_->StageFile(Text(outside_ / "Song One.mp3"));
  EXPECT_EQ(ReadFile(StagingPath() / "Song One.mp3"), "ID3 music");
  EXPECT_EQ(ReadFile(outside_ / "Song One.mp3"), "ID3 music");
}

TEST_F(Staging, CopiesFilesOfEverySizeByteForByte) {
  // Empty, one byte, and more than any one step of a copy, with every byte value in it.
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{(3 << 20) + 7}}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
      bytes[i] = static_cast<char>((i * 7919) >> 3);
    }
    WriteFile(outside_ / "song.mp3", bytes);
    area_->StageFile(Text(outside_ / "song.mp3"));
    EXPECT_TRUE(ReadFile(StagingPath() / "song.mp3") == bytes) << size << " bytes";
  }
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"song.mp3"});
}

TEST_F(Staging, TakesAPathWithoutSeparatorAsTheName) {
  WriteFile(outside_ / "bare.MP3", "bare");
  fs::current_path(outside_);
  area_->StageFile("bare.MP3");
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"bare.MP3"});
}

TEST_F(Staging, ReplacesAStagedCopyOfTheSameName) {
  WriteFile(StagingPath() / "song.mp3", "the old copy, longer than the new one");
  WriteFile(outside_ / "song.mp3", "new");
  area_->StageFile(Text(outside_ / "song.mp3"));
  EXPECT_EQ(ReadFile(StagingPath() / "song.mp3"), "new");
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"song.mp3"});
}

TEST_F(Staging, LeavesAFileChosenFromTheStagingFolderIntact) {
  WriteFile(StagingPath() / "self.mp3", "must survive");
  area_->StageFile(Text(StagingPath() / "self.mp3"));
  EXPECT_EQ(ReadFile(StagingPath() / "self.mp3"), "must survive");
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"self.mp3"});
}

TEST_F(Staging, MakesAReadOnlySourcesCopyDeletable) {
  WriteFile(outside_ / "cd.mp3", "from a disc");
  fs::permissions(outside_ / "cd.mp3", fs::perms::owner_read);
  area_->StageFile(Text(outside_ / "cd.mp3"));
  EXPECT_TRUE(area_->RemoveStagingFolder());
}

TEST_F(Staging, ReportsAMissingSourceAndStagesNothing) {
  const std::string missing = Text(outside_ / "gone.mp3");
  try {
    area_->StageFile(missing);
    FAIL() << "a missing source must not be staged";
  } catch (const Error& error) {
    EXPECT_NE(error.description().find(missing), std::string::npos) << error.description();
  }
  EXPECT_TRUE(fs::is_empty(StagingPath()));
}

TEST_F(Staging, LeavesNoPartOfACopyThatCannotTakeItsName) {
  fs::create_directories(StagingPath() / "album.mp3");  // a folder is in the copy's way
  WriteFile(outside_ / "album.mp3", "music");
  EXPECT_THROW(area_->StageFile(Text(outside_ / "album.mp3")), Error);
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"album.mp3"});
  EXPECT_TRUE(fs::is_directory(StagingPath() / "album.mp3"));
}

TEST_F(Staging, ReportsAStagingFolderRemovedWhileRunning) {
  WriteFile(outside_ / "late.mp3", "late");
  fs::remove_all(StagingPath());
  EXPECT_THROW(area_->StageFile(Text(outside_ / "late.mp3")), Error);
  EXPECT_FALSE(fs::exists(StagingPath()));
}

TEST_F(Staging, StagesAndDeletesNamesBeyondAscii) {
  const std::string name = "Ünïcödé ÉTÉ ♫.mp3";
  WriteFile(In(outside_, name), "song");
  area_->StageFile(Text(In(outside_, name)));
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{name});
  EXPECT_EQ(ReadFile(In(StagingPath(), name)), "song");
  area_->DeleteStagedFile(Text(StagingPath()), name);
  EXPECT_TRUE(fs::is_empty(StagingPath()));
}

TEST_F(Staging, ReportsDeletingAFileThatIsGone) {
  try {
    area_->DeleteStagedFile(Text(StagingPath()), "never.mp3");
    FAIL() << "deleting a missing file must not pass for success";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kFileNotFound);
    EXPECT_NE(error.description().find("never.mp3"), std::string::npos);
  }
}

TEST_F(Staging, DeleteAllRemovesEveryFileAndKeepsSubFolders) {
  for (const char* name : {"one.mp3", "TWO.MP3", "voice.wav", "README", ".hidden"}) {
    WriteFile(StagingPath() / name, name);
  }
  WriteFile(StagingPath() / "album" / "inner.mp3", "inside a sub-folder");
  area_->DeleteAllStaged();
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"album"});
  EXPECT_EQ(ReadFile(StagingPath() / "album" / "inner.mp3"), "inside a sub-folder");
}

TEST_F(Staging, DeleteAllOnAnEmptyFolderDoesNothing) {
  fs::create_directories(StagingPath() / "album");
  EXPECT_NO_THROW(area_->DeleteAllStaged());
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"album"});
}

TEST_F(Staging, DeleteAllReportsAMissingStagingFolder) {
  fs::remove_all(StagingPath());
  try {
    area_->DeleteAllStaged();
    FAIL() << "a missing staging folder is not an empty one";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kPathNotFound);
    EXPECT_NE(error.description().find(Text(StagingPath())), std::string::npos);
  }
}

TEST_F(Staging, CountsAsStagedMusicOnlyWhatTheListShowsAndTheScriptSends) {
  EXPECT_FALSE(area_->MusicStaged());
  fs::remove_all(StagingPath());
  EXPECT_FALSE(area_->MusicStaged());  // a missing folder holds no music either
  area_->PrepareFolders();
  WriteFile(StagingPath() / "notes.txt", "n");
  WriteFile(StagingPath() / ".hidden.mp3", "h");
  fs::create_directory(StagingPath() / "album.mp3");
  EXPECT_FALSE(area_->MusicStaged());
  WriteFile(StagingPath() / "LOUD.MP3", "m");
  EXPECT_TRUE(area_->MusicStaged());
  area_->DeleteAllStaged();
  EXPECT_FALSE(area_->MusicStaged());
}

}  // namespace
}  // namespace tunelift::testing
