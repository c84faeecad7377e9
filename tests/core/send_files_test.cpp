// Each send's transcript and report: numbered beside the script, never one written over
// another's, whichever run or window started the send. The client is the stand-in
// (replay_client.h), which writes the report it is given where its environment says.

#include <chrono>
#include <functional>
#include <thread>

#include "core/error.h"
#include "program_folder.h"
#include "replay_client.h"

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr std::string_view kFirstReport = "tunelift-send-report\t1\nend\t0\n";
constexpr std::string_view kSecondReport = "tunelift-send-report\t1\nend\t1\n";
constexpr std::string_view kSending =
    "tunelift-send-report\t1\nserver\tmusic.example.net\n"
    "file\ta.mp3\t5\t5\tverified\t0\t\t\nfile\tb.mp3\t5\t2\tsending\t0\t\t\n";
constexpr std::string_view kEnded = "tunelift-send-report\t1\nend\t0\n";

class SendFiles : public ClientFolderTest {
protected:
  // A run of the tool on the same program folder: services and operations of its own.
  struct Run {
    explicit Run(const std::string& folder)
        : services(MakeNativeServices(folder)), area(*services, MusicServer()) {}
    std::unique_ptr<FileServices> services;
    StagingArea area;
  };

  // Waits up to 30 s until the run's sends have ended.
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

  // The names in the program folder that a send's files have.
  Strings SendFileNames() const {
    Strings names;
    for (const std::string& name : Names(root_)) {
      if (name.starts_with("sendfiles-")) {
        names.push_back(name);
      }
    }
    return names;
  }
};

TEST_F(SendFiles, TwoRunsKeepBothSendsTranscriptsAndReports) {
  ReplayForClients(root_, 0, "the first send");
  ReportForClients(root_, kFirstReport);
  {
    Run first(Text(root_));
    first.area.LaunchUpload();
    ASSERT_TRUE(SendsEnd(first.area));
  }  // the run ends without "Finish!"
  ReplayForClients(root_, 1, "the second send");
  ReportForClients(root_, kSecondReport);
  Run second(Text(root_));
  second.area.LaunchUpload();
  ASSERT_TRUE(SendsEnd(second.area));

  EXPECT_EQ(SendFileNames(), (Strings{"sendfiles-1.log", "sendfiles-1.report", "sendfiles-2.log",
                                      "sendfiles-2.report"}));
  // Line ends as the platform's text output writes them.
  EXPECT_TRUE(ReadFile(root_ / "sendfiles-1.log").starts_with("the first send"));
  EXPECT_EQ(ReadFile(root_ / "sendfiles-1.report"), kFirstReport);
  EXPECT_TRUE(ReadFile(root_ / "sendfiles-2.log").starts_with("the second send"));
  EXPECT_EQ(ReadFile(root_ / "sendfiles-2.report"), kSecondReport);
}

TEST_F(SendFiles, TakeTheSmallestNumberThatNeitherNameHas) {
  WriteFile(root_ / "sendfiles-1.log", "kept");
  WriteFile(root_ / "sendfiles-2.report", "kept");  // its transcript was deleted by hand
  fs::create_directory(root_ / "sendfiles-3.log");
  ReportForClients(root_, kFirstReport);
  area_->LaunchUpload();
  ASSERT_TRUE(SendsEnd(*area_));
  EXPECT_EQ(ReadFile(root_ / "sendfiles-1.log"), "kept");
  EXPECT_EQ(ReadFile(root_ / "sendfiles-2.report"), "kept");
  EXPECT_FALSE(fs::exists(root_ / "sendfiles-2.log"));
  EXPECT_FALSE(fs::exists(root_ / "sendfiles-3.report"));
  EXPECT_EQ(ReadFile(root_ / "sendfiles-4.report"), kFirstReport);
  EXPECT_TRUE(fs::is_regular_file(root_ / "sendfiles-4.log"));
}

TEST_F(SendFiles, WindowsStartingAtOnceNeverShareANumber) {
  constexpr int kWindows = 4;
  ReportForClients(root_, kFirstReport);
  std::vector<std::unique_ptr<Run>> windows;
  for (int i = 0; i < kWindows; ++i) {
    windows.push_back(std::make_unique<Run>(Text(root_)));
  }
  {
    ClientHold hold(root_);
    std::vector<std::jthread> starts;
    std::vector<std::string> failures(kWindows);
    for (int i = 0; i < kWindows; ++i) {
      starts.emplace_back([&, i] {
        try {
          windows[i]->area.LaunchUpload();
        } catch (const Error& error) {
          failures[i] = error.description();
        }
      });
    }
    starts.clear();  // joins them
    EXPECT_EQ(failures, Strings(kWindows));
  }
  for (const auto& window : windows) {
    ASSERT_TRUE(SendsEnd(window->area));
  }
  EXPECT_EQ(ClientRuns(root_).size(), static_cast<std::size_t>(kWindows));
  Strings expected;
  for (int n = 1; n <= kWindows; ++n) {
    expected.push_back("sendfiles-" + std::to_string(n) + ".log");
    expected.push_back("sendfiles-" + std::to_string(n) + ".report");
  }
  EXPECT_EQ(SendFileNames(), expected);
}

// One send at a time from one program folder, whatever window started it: a second window,
// or one started after the first was closed, sees the send that runs, refuses to delete from
// under it, and tells its outcome once when it ends.
TEST_F(SendFiles, ASecondWindowSeesTheSendRefusesToDeleteAndLeavesItsTellingToTheFirst) {
  ReportForClients(root_, kEnded);
  Run first(Text(root_));
  Run second(Text(root_));
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

TEST_F(SendFiles, AWindowOpenedAfterTheFirstClosedSeesTheSendAndTellsItOnce) {
  ReportForClients(root_, kSending);
  ClientHold hold(root_);
  {
    Run closed(Text(root_));
    closed.area.LaunchUpload();
  }  // the window closes while its client sends
  Run reopened(Text(root_));
  Run another(Text(root_));
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

TEST_F(SendFiles, FinishRemovesTheToldReportsOnceNoSendRuns) {
  ReportForClients(root_, kEnded);
  Run window(Text(root_));
  window.area.LaunchUpload();
  ASSERT_TRUE(SendsEnd(window.area));
  ASSERT_EQ(window.area.TakeEndedUploads().size(), 1u);
  ASSERT_TRUE(std::filesystem::exists(root_ / "sendfiles-1.report.told"));

  window.area.RemoveUploadScript();
  EXPECT_FALSE(std::filesystem::exists(root_ / "sendfiles-1.report.told"));
  EXPECT_FALSE(std::filesystem::exists(root_ / "sendfiles-1.log"));
}

TEST_F(SendFiles, ASendAfterAnotherWindowFinishedWritesTheScriptAgain) {
  Run staying(Text(root_));
  Run finishing(Text(root_));
  finishing.area.RemoveUploadScript();
  ASSERT_FALSE(std::filesystem::exists(root_ / "sendfiles.ftps"));

  staying.area.LaunchUpload();
  ASSERT_TRUE(SendsEnd(staying.area));
  EXPECT_EQ(ReadFile(root_ / "sendfiles.ftps"), UploadScriptText(MusicServer()) + "\r\n");
  EXPECT_EQ(ClientRuns(root_).size(), 1u);
}

}  // namespace
}  // namespace tunelift::testing
