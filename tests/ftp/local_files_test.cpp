// Which local files mput takes, in real folders.
#include <gtest/gtest.h>

#include "ftp/local_files.h"
#include "tests/support/temp_folder.h"

namespace tunelift::ftp {
namespace {

std::vector<std::string> Names(const std::vector<std::filesystem::path>& files) {
  std::vector<std::string> names;
  for (const auto& file : files) {
    names.push_back(file.filename().string());
  }
  return names;
}

class FtpLocalFiles : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"temp/b.mp3", "temp/SONG.MP3", "temp/a b é.mp3", "temp/c.wav",
                             "temp/notes.mp3.txt", "temp/deeper/d.mp3"}) {
      folder_.Write(name, "x");
    }
    std::filesystem::create_directory(folder_.path() / "temp" / "folder.mp3");
  }

  test::TempFolder folder_;
};

TEST_F(FtpLocalFiles, TakeRegularFilesMatchingWithoutRegardToCaseInNameOrder) {
  EXPECT_EQ(Names(MatchLocalFiles(folder_.path(), "temp\\*.mp3")),
            (std::vector<std::string>{"a b é.mp3", "b.mp3", "SONG.MP3"}));
  EXPECT_EQ(Names(MatchLocalFiles(folder_.path(), "temp/?.MP3")),
            (std::vector<std::string>{"b.mp3"}));
  EXPECT_EQ(Names(MatchLocalFiles(folder_.path() / "temp", "song.mp3")),
            (std::vector<std::string>{"SONG.MP3"}));
  EXPECT_EQ(MatchLocalFiles(folder_.path(), "temp\\*.ogg").size(), 0u);
}

TEST_F(FtpLocalFiles, ReadAFolderGivenAbsoluteOrNotAndFailForAMissingOne) {
  const std::string absolute = (folder_.path() / "temp" / "deeper").string() + "\\*.*";
  EXPECT_EQ(Names(MatchLocalFiles("/elsewhere", absolute)), (std::vector<std::string>{"d.mp3"}));
  EXPECT_THROW(MatchLocalFiles(folder_.path(), "missing\\*.mp3"),
               std::filesystem::filesystem_error);
}

TEST(FtpLocalPaths, ReadBothSeparatorsAndKeepTheFolderAsWritten) {
  EXPECT_EQ(LocalPath("temp\\sub\\a.mp3"), std::filesystem::path("temp/sub/a.mp3"));
  EXPECT_EQ(FolderPart("temp\\*.mp3"), "temp\\");
  EXPECT_EQ(FolderPart("a/b\\c*.mp3"), "a/b\\");
  EXPECT_EQ(FolderPart("*.mp3"), "");
}

}  // namespace
}  // namespace tunelift::ftp
