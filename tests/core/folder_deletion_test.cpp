// Finish's deletion of the staging folder keeps its promise: all of it goes, or nothing. The
// permission cases run as a real unprivileged user (see unprivileged_user.h).

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/error.h"
#include "core/folder_tree_posix.h"
#include "program_folder.h"
#include "unprivileged_user.h"

namespace tunelift::testing {
namespace {

// Sets or clears the immutable attribute; false where the file system or the user cannot.
bool SetImmutable(const fs::path& file, bool on) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) {
    close(fd);
  }
  return done;
}

// Ten staged files and an album sub-folder, all the acting user's.
class FolderDeletion : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
    for (char letter = 'a'; letter <= 'j'; ++letter) {
      WriteFile(StagingPath() / (std::string(1, letter) + ".mp3"), "music");
    }
    WriteFile(StagingPath() / "album" / "inner.mp3", "more music");
    fs::permissions(root_.parent_path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    GiveToActingUser(root_);
    before_ = Tree();
  }

  void TearDown() override {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, ignored);
    ProgramFolderTest::TearDown();
  }

  static void GiveToActingUser(const fs::path& top) {
    if (!CanActForAnotherUser()) {
      return;
    }
    ASSERT_EQ(lchown(top.c_str(), kNobody, kNoGroup), 0);
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
      ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNoGroup), 0) << entry.path();
    }
  }

  // Every path inside the staging folder, relative to it, sorted.
  std::vector<std::string> Tree() const {
    std::vector<std::string> paths;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(StagingPath(), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      paths.push_back(fs::relative(it->path(), StagingPath()).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  // Presses Finish's deletion as the unprivileged user: "deleted" or the error's number and
  // description.
  std::string RemoveAsUser() {
    return AsUnprivilegedUser([this] {
      try {
        return area_->RemoveStagingFolder() ? std::string("deleted") : std::string("missing");
      } catch (const Error& error) {
        return std::to_string(error.number()) + " " + error.description();
      }
    });
  }

  // The deletion failed with `number`, named `culprit`, and left every file where it was.
  void ExpectRefusedNaming(const std::string& result, int number, const fs::path& culprit) {
    EXPECT_TRUE(result.starts_with(std::to_string(number) + " ")) << result;
    EXPECT_NE(result.find("'" + culprit.string() + "'"), std::string::npos) << result;
    EXPECT_EQ(Tree(), before_);
  }

  std::vector<std::string> before_;
};

TEST_F(FolderDeletion, DeletesEverythingTheUserMayDeleteWhoeverOwnsIt) {
  if (CanActForAnotherUser()) {
    // Root's folder, open to all and not sticky: its files may go with it.
    WriteFile(StagingPath() / "shared" / "roots.mp3", "r");
    fs::permissions(StagingPath() / "shared", fs::perms::all);
  }
  EXPECT_EQ(RemoveAsUser(), "deleted");
  EXPECT_FALSE(fs::exists(StagingPath()));
}

TEST_F(FolderDeletion, AFolderThatCannotBeWrittenOrReadStopsItBeforeAnythingGoes) {
  const struct {
    fs::path folder;
    fs::perms mode;
  } cases[] = {
      {StagingPath() / "album", fs::perms::owner_read | fs::perms::owner_exec},
      {StagingPath(), fs::perms::owner_read | fs::perms::owner_exec},
      {root_, fs::perms::owner_read | fs::perms::owner_exec},
      {StagingPath() / "album", fs::perms::owner_write | fs::perms::owner_exec},
  };
  for (const auto& c : cases) {
    fs::permissions(c.folder, c.mode);
    ExpectRefusedNaming(RemoveAsUser(), errnum::kPermissionDenied, c.folder);
    fs::permissions(c.folder, fs::perms::owner_all);
  }
}

TEST_F(FolderDeletion, AnotherUsersFileInAStickyFolderStopsItBeforeAnythingGoes) {
  if (!CanActForAnotherUser()) {
    GTEST_SKIP() << "only root can make a file that belongs to another user";
  }
  // Like /tmp: open to all, but each may delete only their own.
  WriteFile(StagingPath() / "shared" / "roots.mp3", "r");
  fs::permissions(StagingPath() / "shared", fs::perms::all | fs::perms::sticky_bit);
  before_ = Tree();
  ExpectRefusedNaming(RemoveAsUser(), errnum::kPermissionDenied,
                      StagingPath() / "shared" / "roots.mp3");
}

TEST_F(FolderDeletion, AnImmutableFileStopsItBeforeAnythingGoesEvenForRoot) {
  if (!SetImmutable(StagingPath() / "album" / "inner.mp3", true)) {
    GTEST_SKIP() << "this file system or user cannot mark a file immutable";
  }
  std::string result = "deleted";
  try {
    area_->RemoveStagingFolder();
  } catch (const Error& error) {
    result = std::to_string(error.number()) + " " + error.description();
  }
  SetImmutable(StagingPath() / "album" / "inner.mp3", false);
  ExpectRefusedNaming(result, errnum::kPermissionDenied, StagingPath() / "album" / "inner.mp3");
}

TEST_F(FolderDeletion, AFileSystemMountedInsideIsNeitherEmptiedNorDeleted) {
  if (mount("tunelift-test", (StagingPath() / "album").c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount here: " << std::strerror(errno);
  }
  WriteFile(StagingPath() / "album" / "on-another-disk.mp3", "m");
  before_ = Tree();
  std::string result = "deleted";
  try {
    area_->RemoveStagingFolder();
  } catch (const Error& error) {
    result = std::to_string(error.number()) + " " + error.description();
  }
  const std::vector<std::string> after = Tree();
  umount2((StagingPath() / "album").c_str(), MNT_DETACH);
  EXPECT_NE(result.find("'" + (StagingPath() / "album").string() + "'"), std::string::npos)
      << result;
  EXPECT_EQ(after, before_);
}

TEST_F(FolderDeletion, FoldersNestedTooDeepStopItBeforeAnythingGoes) {
  fs::path deep = StagingPath() / "album";
  for (int level = 0; level <= kMaxFolderDepth; ++level) {
    deep /= "d";
  }
  fs::create_directories(deep);
  before_ = Tree();
  try {
    area_->RemoveStagingFolder();
    FAIL() << "a tree deeper than the limit was deleted";
  } catch (const Error& error) {
    EXPECT_NE(error.description().find("folders deep"), std::string::npos) << error.description();
  }
  EXPECT_EQ(Tree(), before_);
}

}  // namespace
}  // namespace tunelift::testing
