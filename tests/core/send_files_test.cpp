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

class SendFiles : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
    area_->WriteUploadScript();
    InstallStandInClient(root_);
  }

  // A run of the tool on the same program folder: services and operations of its own.
  struct Run {
    explicit Run(const std::string& folder)
        : services(MakeNativeServices(folder)), area(*services, "music.example.net") {}
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

}  // namespace
}  // namespace tunelift::testing
