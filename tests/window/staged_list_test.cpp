// The list's rules on real folders: which files show, in which order, how a name shows, and
// which entry stays selected when the folder is read again.

#include "window/staged_list.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;

class StagedListTest : public ProgramFolderTest {
protected:
  Strings Shown() const {
    Strings shown;
    for (const ListEntry& entry : list_.Entries()) {
      shown.push_back(entry.shown);
    }
    return shown;
  }

  StagedList list_{"*.mp3"};
};

TEST_F(StagedListTest, ShowsTheMatchingVisibleFilesByNameWithoutRegardToCase) {
  for (const char* name : {"b.mp3", "SONG.MP3", "a.Mp3", "B2.mp3", "notes.txt", "mp3",
                           "song.mp3.bak", ".hidden.mp3"}) {
    WriteFile(root_ / name, "x");
  }
  fs::create_directory(root_ / "album.mp3");
  list_.SetPath(Text(root_));
  EXPECT_EQ(Shown(), (Strings{"a.Mp3", "b.mp3", "B2.mp3", "SONG.MP3"}));
  EXPECT_EQ(list_.List(3), "SONG.MP3");
  EXPECT_EQ(list_.ListIndex(), -1);
}

TEST_F(StagedListTest, KeepsTheSelectedNameSelectedWhileItIsThere) {
  for (const char* name : {"b.mp3", "d.mp3"}) {
    WriteFile(root_ / name, "x");
  }
  list_.SetPath(Text(root_));
  list_.Select(1);
  WriteFile(root_ / "a.mp3", "x");
  list_.Refresh();
  EXPECT_EQ(list_.ListIndex(), 2);
  EXPECT_EQ(list_.List(list_.ListIndex()), "d.mp3");

  fs::remove(root_ / "d.mp3");
  list_.Refresh();
  EXPECT_EQ(list_.ListIndex(), -1);
  list_.Select(7);  // beyond the list: nothing selected
  EXPECT_EQ(list_.ListIndex(), -1);
}

TEST_F(StagedListTest, AFolderThatCannotBeReadLeavesTheListEmpty) {
  WriteFile(root_ / "temp" / "a.mp3", "x");
  list_.SetPath(Text(root_ / "temp"));
  list_.Select(0);
  fs::remove_all(root_ / "temp");
  try {
    list_.Refresh();
    FAIL() << "a missing folder was read";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kPathNotFound);
    EXPECT_NE(error.description().find("temp"), std::string::npos);
  }
  EXPECT_TRUE(list_.Entries().empty());
  EXPECT_EQ(list_.ListIndex(), -1);
}

TEST(ShownName, ShowsWhatIsNotUtf8AsReplacementAndControlsAsQuestionMarks) {
  EXPECT_EQ(ShownName("Été à Paris ♫.mp3"), "Été à Paris ♫.mp3");
  EXPECT_EQ(ShownName("bad\xff.mp3"), "bad\uFFFD.mp3");
  EXPECT_EQ(ShownName("cut\xC3"), "cut\uFFFD");
  EXPECT_EQ(ShownName("line\nbreak\t.mp3"), "line?break?.mp3");
  EXPECT_EQ(ShownName("esc\x1b]0;title\x07.mp3"), "esc?]0;title?.mp3");
  EXPECT_EQ(ShownName("c1\xC2\x9B"
                      "2J.mp3"),
            "c1?2J.mp3");
  EXPECT_EQ(ShownName("del\x7F"), "del?");
}

}  // namespace
}  // namespace tunelift::testing
