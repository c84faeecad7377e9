// A send while its client runs: the progress read from the report the client rewrites as it
// sends, and a send stopped part-way. The client is the stand-in (replay_client.h), which
// writes the reports it is given one after another, slowly, as the real client does.

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/send_progress.h"
#include "program_folder.h"
#include "replay_client.h"

namespace tunelift::testing {
namespace {

using namespace std::chrono_literals;

const std::string kStart =
    "tunelift-send-report\t1\nserver\tmusic.example.net\n"
    "encryption\tnone\nidentity\tnot-checked\n";
// The reports of a send of two files, as the client writes them while it sends.
const std::vector<std::string> kTwoFiles = {
    kStart + "file\ta.mp3\t100\t0\twaiting\t0\t\t\nfile\tb.mp3\t300\t0\twaiting\t0\t\t\n",
    kStart + "file\ta.mp3\t100\t40\tsending\t0\t\t\nfile\tb.mp3\t300\t0\twaiting\t0\t\t\n",
    kStart +
        "file\ta.mp3\t100\t100\tverified\t226\tOK\t\n"
        "file\tb.mp3\t300\t150\tsending\t0\t\t\n",
    kStart +
        "file\ta.mp3\t100\t100\tverified\t226\tOK\t\n"
        "file\tb.mp3\t300\t300\tverified\t226\tOK\t\nend\t0\n",
};

class RunningSend : public ClientFolderTest {
protected:
  // Reads the running send's progress until `seen` holds of it (30 s at most).
  template <typename Condition>
  UploadProgress ProgressUntil(Condition seen) {
    UploadProgress progress;
    for (int tries = 0; tries < 3000; ++tries) {
      const std::optional<StagingArea::SendFiles> running = area_->RunningSend();
      if (running) {
        progress = ReadUploadProgress(running->report);
        if (seen(progress)) {
          return progress;
        }
      }
      std::this_thread::sleep_for(10ms);
    }
    ADD_FAILURE() << "the progress looked for never came";
    return progress;
  }

  static bool OnFile(const UploadProgress& progress, std::size_t number) {
    return progress.progress && progress.progress->fileNumber == number;
  }
};

TEST_F(RunningSend, ItsProgressFollowsTheReportsTheClientWrites) {
  ReportsForClients(root_, kTwoFiles, 400ms);
  EXPECT_FALSE(area_->RunningSend().has_value());
  ClientHold hold(root_);
  area_->LaunchUpload();
  const std::optional<StagingArea::SendFiles> running = area_->RunningSend();
  ASSERT_TRUE(running.has_value());
  EXPECT_EQ(running->report, Text(root_ / "sendfiles-1.report"));
  EXPECT_EQ(running->transcript, Text(root_ / "sendfiles-1.log"));

  // Before the first file: no report yet, or the first one, which says nothing is done; and
  // nothing wrong either way.
  const UploadProgress before = ReadUploadProgress(running->report);
  EXPECT_FALSE(before.reportError.has_value());
  EXPECT_EQ(before.progress ? before.progress->done : 0.0, 0.0);

  hold.Release();
  const UploadProgress first = ProgressUntil([](const UploadProgress& p) { return OnFile(p, 1); });
  EXPECT_EQ(first.progress->fileName, "a.mp3");
  EXPECT_EQ(first.progress->fileSent, 40u);
  EXPECT_DOUBLE_EQ(first.progress->done, 0.1);
  const UploadProgress second = ProgressUntil(
      [](const UploadProgress& p) { return OnFile(p, 2) && p.progress->fileSent == 150; });
  EXPECT_EQ(second.progress->fileCount, 2u);
  EXPECT_DOUBLE_EQ(second.progress->done, 250.0 / 400.0);
  for (int tries = 0; tries < 1500 && area_->UploadRunning(); ++tries) {
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_FALSE(area_->RunningSend().has_value());
  const std::vector<UploadOutcome> ended = area_->TakeEndedUploads();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_FALSE(ended[0].stopped);
}

TEST_F(RunningSend, AReportThatCannotBeReadSaysWhyAndThrowsNothing) {
  WriteFile(root_ / "sendfiles-1.report", "not a send report\n");
  const UploadProgress progress = ReadUploadProgress(Text(root_ / "sendfiles-1.report"));
  EXPECT_FALSE(progress.progress.has_value());
  ASSERT_TRUE(progress.reportError.has_value());
  EXPECT_EQ(progress.reportError->number(), errnum::kInvalidFileFormat);
  EXPECT_NE(progress.reportError->description().find("sendfiles-1.report"), std::string::npos)
      << progress.reportError->description();
}

TEST_F(RunningSend, AStoppedSendEndsAtOnceAndIsToldAsStoppedWithWhatItsReportSaid) {
  // The last report never comes: the send is stopped while the client waits before it.
  ReportsForClients(root_, {kTwoFiles[1], kTwoFiles[3]}, 20s);
  area_->LaunchUpload();
  area_->LaunchUpload();  // a second send, started after the first
  ProgressUntil([](const UploadProgress& p) { return OnFile(p, 1); });
  // The other client, on a busy machine, may not have written its first report yet.
  for (const char* report : {"sendfiles-1.report", "sendfiles-2.report"}) {
    for (int tries = 0; tries < 3000 && !std::filesystem::exists(root_ / report); ++tries) {
      std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(std::filesystem::exists(root_ / report)) << report;
  }
  ASSERT_TRUE(area_->UploadRunning());

  area_->StopUploads();
  EXPECT_FALSE(area_->UploadRunning());
  EXPECT_FALSE(area_->RunningSend().has_value());
  const std::vector<UploadOutcome> ended = area_->TakeEndedUploads();
  ASSERT_EQ(ended.size(), 2u);
  for (const UploadOutcome& outcome : ended) {
    EXPECT_TRUE(outcome.stopped);
    EXPECT_NE(outcome.exitStatus, 0);
    ASSERT_TRUE(outcome.report.has_value()) << outcome.reportFile;
    EXPECT_FALSE(outcome.report->exitStatus.has_value()) << "the report was cut short";
    ASSERT_EQ(outcome.report->files.size(), 2u);
    EXPECT_EQ(outcome.report->files[0].state, FileState::Sending);
  }
  area_->StopUploads();  // nothing runs: nothing to do
  EXPECT_TRUE(area_->TakeEndedUploads().empty());
}

}  // namespace
}  // namespace tunelift::testing
