// One send at a time from one program folder, whatever window started it: a second window,
// or one started after the first was closed, sees the send that runs, refuses to delete from
// under it, and tells its outcome once when it ends. The client is the stand-in
// (replay_client.h), held running until the test lets it go.

#include <chrono>
#include <thread>

#include "core/error.h"
#include "program_folder.h"
#include "replay_client.h"

namespace tunelift::testing {
namespace {

constexpr std::string_view kSending =
    "tunelift-send-report\t1\nserver\tmusic.example.net\n"
    "file\ta.mp3\t5\t5\tverified\t0\t\t\nfile\tb.mp3\t5\t2\tsending\t0\t\t\n";
constexpr std::string_view kEnded = "tunelift-send-report\t1\nend\t0\n";

class OneSend : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
    area_->WriteUploadScript();
    InstallStandInClient(root_);
  }

  // A window of its own on the same program folder.
  struct Window {
    explicit Window(const std::string& folder)
        : services(MakeNativeServices(folder)), area(*services, "music.example.net") {}
    std::unique_ptr<FileServices> services;
    StagingArea area;
  };

  static bool SendsEnd(StagingArea& area) {
    for (int tries = 0; tries < 1500 && area.UploadRunning(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !area.UploadRunning();
  }

  // The report of send 1 as if it had ended long before: the window that started it has had
  // its turn to tell it.
  void AgeTheReport() const {
    const std::filesystem::path report = root_ / "sendfiles-1.report";
    std::filesystem::last_write_time(
        report, std::filesystem::last_write_time(report) - std::chrono::minutes(1));
  }
};

TEST_F(OneSend, ASecondWindowSeesTheSendRefusesToDeleteAndLeavesItsTellingToTheFirst) {
  ReportForClients(root_, kEnded);
  Window first(Text(root_));
  Window second(Text(root_));
  ClientHold hold(root_);
  first.area.LaunchUpload();

  EXPECT_TRUE(second.area.UploadRunning());
  EXPECT_THROW(second.area.RemoveStagingFolder(), Error);
  EXPECT_THROW(second.area.RemoveUploadScript(), Error);
  EXPECT_TRUE(std::filesystem::exists(root_ / "temp"));
  EXPECT_TRUE(std::filesystem::exists(root_ / "sendfiles.ftps"));

  hold.Release();
  ASSERT_TRUE(SendsEnd(second.area));
  EXPECT_TRUE(second.area.TakeEndedUploads().empty());  // the first window's turn
  EXPECT_EQ(first.area.TakeEndedUploads().size(), 1u);
  EXPECT_TRUE(second.area.TakeEndedUploads().empty());  // told once, by the first
  EXPECT_FALSE(second.area.SendsToTell());
}

TEST_F(OneSend, AWindowOpenedAfterTheFirstClosedSeesTheSendAndTellsItOnce) {
  ReportForClients(root_, kSending);
  ClientHold hold(root_);
  {
    Window closed(Text(root_));
    closed.area.LaunchUpload();
  }  // the window closes while its client sends
  Window reopened(Text(root_));
  Window another(Text(root_));
  ASSERT_TRUE(reopened.area.UploadRunning());
  std::optional<UploadReport> report;
  for (int tries = 0; tries < 500 && !report; ++tries) {
    report = reopened.area.RunningSendReport();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->files.size(), 2u);

  ReportForClients(root_, kEnded);  // ignored: the client already has its report
  hold.Release();
  ASSERT_TRUE(SendsEnd(reopened.area));
  EXPECT_TRUE(reopened.area.SendsToTell());
  AgeTheReport();
  const std::vector<UploadOutcome> told = reopened.area.TakeEndedUploads();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told[0].transcript.ends_with("sendfiles-1.log"));
  EXPECT_TRUE(another.area.TakeEndedUploads().empty());
  EXPECT_FALSE(another.area.SendsToTell());
}

TEST_F(OneSend, FinishRemovesTheToldReportsOnceNoSendRuns) {
  ReportForClients(root_, kEnded);
  Window window(Text(root_));
  window.area.LaunchUpload();
  ASSERT_TRUE(SendsEnd(window.area));
  ASSERT_EQ(window.area.TakeEndedUploads().size(), 1u);
  ASSERT_TRUE(std::filesystem::exists(root_ / "sendfiles-1.report.told"));

  window.area.RemoveUploadScript();
  EXPECT_FALSE(std::filesystem::exists(root_ / "sendfiles-1.report.told"));
  EXPECT_FALSE(std::filesystem::exists(root_ / "sendfiles-1.log"));
}

}  // namespace
}  // namespace tunelift::testing
