// Staging copies inside the kernel where it can; these are the files it cannot copy that way,
// which must still arrive whole.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "program_folder.h"

namespace tunelift::testing {
namespace {

using KernelCopy = ProgramFolderTest;

TEST_F(KernelCopy, StillCopiesAKernelFileWhoseListedSizeIsZero) {
  // Kernel files list a size of 0; their content shows only when read.
  const std::string expected = ReadFile("/proc/version");
  ASSERT_FALSE(expected.empty());
  services_->FileCopy("/proc/version", (root_ / "version").string());
  EXPECT_EQ(ReadFile(root_ / "version"), expected);
}

TEST_F(KernelCopy, StillCopiesAFileFromAnotherFileSystem) {
  struct stat shm {};
  struct stat here {};
  if (stat("/dev/shm", &shm) != 0 || stat(root_.c_str(), &here) != 0 || shm.st_dev == here.st_dev) {
    GTEST_SKIP() << "no memory file system beside the test's folder";
  }
  char name[] = "/dev/shm/tunelift-copy-test-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::string bytes((1 << 20) + 3, 'x');
  WriteFile(name, bytes);
  services_->FileCopy(name, (root_ / "song.mp3").string());
  unlink(name);
  EXPECT_TRUE(ReadFile(root_ / "song.mp3") == bytes);
}

}  // namespace
}  // namespace tunelift::testing
