// tunelift.ini that cannot be read on POSIX: a file the acting user may not read (as a real
// unprivileged user, see unprivileged_user.h), and a FIFO, which must not hold the start.

#include <sys/stat.h>

#include "core/error.h"
#include "core/server_settings.h"
#include "program_folder.h"
#include "unprivileged_user.h"

namespace tunelift::testing {
namespace {

using LoadSettingsPosix = ProgramFolderTest;

TEST_F(LoadSettingsPosix, RefusesAFileTheUserMayNotReadWithTheSystemsNumberAndReason) {
  WriteFile(root_ / "tunelift.ini", "[server]\nhost = 127.0.0.1\n");
  fs::permissions(root_ / "tunelift.ini", fs::perms::none);
  // The folders on the way stay open to the unprivileged user; the file alone is closed.
  for (const fs::path& folder : {root_.parent_path(), root_}) {
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  }
  const std::string folder = Text(root_);
  const std::string result = AsUnprivilegedUser([&folder] {
    try {
      LoadServerSettings(folder);
      return std::string("read");
    } catch (const Error& error) {
      return std::to_string(error.number()) + " " + error.description();
    }
  });
  EXPECT_EQ(result, std::to_string(errnum::kPermissionDenied) + " Cannot read the settings file '" +
                        folder + "/tunelift.ini': Permission denied");
}

TEST_F(LoadSettingsPosix, RefusesAFifoWithoutWaitingForAWriter) {
  ASSERT_EQ(mkfifo((root_ / "tunelift.ini").c_str(), 0600), 0);
  try {
    LoadServerSettings(Text(root_));
    FAIL() << "a FIFO is no settings file";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kPathFileAccess);
    EXPECT_EQ(error.description(), "Cannot read the settings file '" + Text(root_) +
                                       "/tunelift.ini': it is not a regular file.");
  }
}

}  // namespace
}  // namespace tunelift::testing
