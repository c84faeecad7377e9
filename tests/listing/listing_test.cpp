// Which files a listing takes from a real folder, and the one order every part shows them in.
#include "listing/listing.h"

#include <gtest/gtest.h>

#include "listing/case_fold.h"
#include "text/utf8_path.h"
#include "tests/support/temp_folder.h"

namespace tunelift {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class Listing : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"b.mp3", "SONG.MP3", "a.Mp3", "été.mp3", "Zebra.mp3", "Éclair.mp3",
                             ".hidden.mp3", "notes.txt", "song.mp3.bak"}) {
      folder_.Write(name, name);
    }
    fs::create_directory(folder_.path() / "album.mp3");
  }

  test::TempFolder folder_;
};

TEST_F(Listing, TakesMatchingFilesWithoutTheHiddenOnesInFoldedNameOrder) {
  // Letters of every script in their upper case, as an NTFS folder orders its names:
  // É (U+00C9) comes after Z.
  EXPECT_EQ(ListMatching(folder_.path(), "*.mp3"),
            (Names{"a.Mp3", "b.mp3", "SONG.MP3", "Zebra.mp3", "Éclair.mp3", "été.mp3"}));
  EXPECT_EQ(ListMatching(folder_.path(), "ÉTÉ.MP3"), Names{"été.mp3"});
  EXPECT_EQ(ListMatching(folder_.path(), "*.ogg"), Names{});
}

TEST_F(Listing, TakesHiddenFilesAndSparesFoldersWhenAskedForEverything) {
  const ListingRule everything{.entries = Entries::AllButFolders, .hidden = HiddenFiles::Take};
  EXPECT_EQ(
      ListMatching(folder_.path(), "*.mp3", everything),
      (Names{".hidden.mp3", "a.Mp3", "b.mp3", "SONG.MP3", "Zebra.mp3", "Éclair.mp3", "été.mp3"}));
}

TEST_F(Listing, FailsForAFolderThatCannotBeRead) {
  EXPECT_THROW(ListMatching(folder_.path() / "missing", "*.*"), fs::filesystem_error);
}

TEST(NameOrder, PutsNamesThatDifferOnlyInCaseInByteOrder) {
  EXPECT_TRUE(NameBefore("B.mp3", "b.mp3"));
  EXPECT_FALSE(NameBefore("b.mp3", "B.mp3"));
  EXPECT_TRUE(NameBefore("a.mp3", "B.mp3"));
  EXPECT_EQ(FoldCase("Grüße"), FoldCase("GRÜßE"));
  EXPECT_NE(FoldCase("\xc3"), FoldCase("\xe3"));  // invalid bytes stay apart
}

TEST(Utf8Paths, KeepNonAsciiNamesAsTheyAre) {
  const std::string name = "Ünïcödé ♫.mp3";
  EXPECT_EQ(Utf8FromPath(PathFromUtf8(name)), name);
  EXPECT_EQ(Utf8FromPath(PathFromUtf8("dir/" + name).filename()), name);
}

}  // namespace
}  // namespace tunelift
