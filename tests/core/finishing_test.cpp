// Removing what the tool left on disk: the staging folder and the upload script.

#include <chrono>
#include <functional>
#include <thread>

#include "core/error.h"
#include "program_folder.h"
#include "replay_client.h"

namespace tunelift::testing {
namespace {

using Finishing = ProgramFolderTest;

// Waits up to 30 s for `done`; false when it never held.
bool Eventually(const std::function<bool()>& done) {
  for (int tries = 0; tries < 1500 && !done(); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

TEST_F(Finishing, RemovesTheStagingFolderWithEverythingInIt) {
  area_->PrepareFolders();
  WriteFile(StagingPath() / "song.mp3", "m");
  WriteFile(StagingPath() / "voice.wav", "w");
  WriteFile(StagingPath() / "album" / "inner.mp3", "i");
  EXPECT_TRUE(area_->RemoveStagingFolder());
  EXPECT_FALSE(fs::exists(StagingPath()));
}

TEST_F(Finishing, SaysWhenThereWasNoStagingFolder) {
  EXPECT_FALSE(area_->RemoveStagingFolder());
  EXPECT_TRUE(fs::exists(root_));
}

TEST_F(Finishing, KeepsAStagingFolderHoldingAReadOnlyFile) {
  area_->PrepareFolders();
  WriteFile(StagingPath() / "a.mp3", "a");
  WriteFile(StagingPath() / "locked.mp3", "l");
  fs::permissions(StagingPath() / "locked.mp3", fs::perms::owner_read);
  try {
    area_->RemoveStagingFolder();
    FAIL() << "a read-only file must stop the deletion";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kPermissionDenied);
    EXPECT_NE(error.description().find("locked.mp3"), std::string::npos);
  }
  EXPECT_EQ(Names(StagingPath()), (std::vector<std::string>{"a.mp3", "locked.mp3"}));
}

TEST_F(Finishing, RemovesTheScriptAndToleratesItsAbsence) {
  area_->PrepareFolders();
  area_->WriteUploadScript();
  area_->RemoveUploadScript();
  EXPECT_FALSE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_NO_THROW(area_->RemoveUploadScript());
}

TEST_F(Finishing, RemovesEverySendsTranscriptAndReportWithTheScript) {
  area_->PrepareFolders();
  area_->WriteUploadScript();
  // Some as an earlier run that ended without "Finish!" left them; a report's scratch copy
  // as a client stopped while it wrote.
  for (const char* name : {"sendfiles-1.log", "sendfiles-1.report", "sendfiles-12.log",
                           "sendfiles-12.report", "sendfiles-13.report.part"}) {
    WriteFile(root_ / name, "t");
  }
  for (const char* name : {"notes.log", "sendfiles.report.txt", "my.report"}) {
    WriteFile(root_ / name, "mine");
  }
  area_->RemoveUploadScript();
  EXPECT_EQ(Names(root_),
            (std::vector<std::string>{"my.report", "notes.log", "sendfiles.report.txt", "temp"}));
}

TEST_F(Finishing, DeletesNothingWhileAClientSendsAndEverythingOnceItHasEnded) {
  area_->PrepareFolders();
  area_->WriteUploadScript();
  InstallStandInClient(root_);
  WriteFile(StagingPath() / "not yet sent.mp3", "m");
  ClientHold hold(root_);
  area_->LaunchUpload();
  ASSERT_TRUE(Eventually([&] { return ClientRuns(root_).size() == 1; }));
  try {
    area_->RemoveStagingFolder();
    FAIL() << "the folder must not go while the client sends from it";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kFileAlreadyOpen);
    EXPECT_NE(error.description().find("still sending from the staging folder"), std::string::npos)
        << error.description();
  }
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"not yet sent.mp3"});
  try {
    area_->RemoveUploadScript();
    FAIL() << "the transcript must not go while the client writes it";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kFileAlreadyOpen);
  }
  EXPECT_TRUE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_TRUE(fs::exists(root_ / "sendfiles-1.log"));

  hold.Release();
  ASSERT_TRUE(Eventually([&] { return !area_->UploadRunning(); })) << "the client never ended";
  EXPECT_TRUE(area_->RemoveStagingFolder());
  EXPECT_FALSE(fs::exists(StagingPath()));
  area_->RemoveUploadScript();
  EXPECT_FALSE(fs::exists(root_ / "sendfiles-1.log"));
}

}  // namespace
}  // namespace tunelift::testing
