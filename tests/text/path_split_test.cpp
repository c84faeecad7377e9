#include "text/path_split.h"

#include <gtest/gtest.h>

#include <string_view>

namespace tunelift {
namespace {

struct SplitCase {
  std::string_view path;
  std::string_view separators;
  std::string_view folder;
  std::string_view name;
  bool hasFolder;
};

constexpr SplitCase kSplitCases[] = {
    {"song.mp3", "/", "", "song.mp3", false},
    {"", "/", "", "", false},
    {"/home/a/song.mp3", "/", "/home/a", "song.mp3", true},
    {"/song.mp3", "/", "", "song.mp3", true},
    {"a/b/", "/", "a/b", "", true},
    {"C:\\Music\\song.mp3", "\\/", "C:\\Music", "song.mp3", true},
    {"C:\\Music/sub\\song.mp3", "\\/", "C:\\Music/sub", "song.mp3", true},
    {"C:/Music\\sub/song.mp3", "\\/", "C:/Music\\sub", "song.mp3", true},
    {"C:\\song.mp3", "\\/", "C:", "song.mp3", true},
    {"C:\\Music\\song.mp3", "/", "", "C:\\Music\\song.mp3", false},
    {"folder\\*.mp3", "\\", "folder", "*.mp3", true},
};

TEST(SplitFolderAndName, SplitsAtTheLastOfTheGivenSeparators) {
  for (const SplitCase& row : kSplitCases) {
    const PathSplit split = SplitFolderAndName(row.path, row.separators);
    EXPECT_EQ(split.folder, row.folder) << row.path;
    EXPECT_EQ(split.name, row.name) << row.path;
    EXPECT_EQ(split.hasFolder, row.hasFolder) << row.path;
  }
}

TEST(SplitFolderAndName, PartsViewThePathItself) {
  const std::string_view path = "/music/song.mp3";
  const PathSplit split = SplitFolderAndName(path, "/");
  EXPECT_EQ(split.folder.data(), path.data());
  EXPECT_EQ(split.name.data(), path.data() + 7);
}

}  // namespace
}  // namespace tunelift
