// Starting the FTP client on Windows: a stand-in client, put into the program folder as
// ftp.exe, writes a report of how it was started and waits until the test releases it.

#include <windows.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "core/error.h"
#include "core/upload_outcome.h"
#include "text/utf8_path.h"
#include "program_folder.h"
#include "win32_checks.h"

namespace tunelift::testing {
namespace {

using Report = std::map<std::string, std::string>;

fs::path StandInClient() {
  return PathFromUtf8(MakeNativeServices()->ProgramFolder()) / STAND_IN_CLIENT_NAME;
}

class Sending : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
    area_->WriteUploadScript();
    fs::copy_file(StandInClient(), root_ / "ftp.exe");
  }

  void TearDown() override {
    Release();
    // The released clients end within a moment; their files go with the folder.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ProgramFolderTest::TearDown();
  }

  void Release() { WriteFile(root_ / "client-release", ""); }

  // The reports of the clients started in `folder`, waiting up to 30 s for `count` of them.
  std::vector<Report> Reports(std::size_t count, const fs::path& folder) {
    std::vector<Report> reports;
    for (int tries = 0; tries < 1500 && reports.size() < count; ++tries) {
      reports.clear();
      for (const auto& entry : fs::directory_iterator(folder)) {
        const Report report =
            entry.path().extension() == ".report" ? Parse(ReadFile(entry.path())) : Report();
        if (report.contains("end")) {
          reports.push_back(report);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return reports;
  }
  std::vector<Report> Reports(std::size_t count) { return Reports(count, root_); }

  static Report Parse(const std::string& text) {
    Report report;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      const std::size_t equals = line.find('=');
      report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
  }

  // Waits up to 30 s for the program to end.
  static bool Ends(RunningProgram& program) {
    for (int tries = 0; tries < 1500 && program.Running(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !program.Running();
  }

  // Lets the clients go and waits up to 30 s until the area has seen every one of them end.
  bool ReleaseAndAwaitEnd() {
    Release();
    for (int tries = 0; tries < 1500 && area_->UploadRunning(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !area_->UploadRunning();
  }
};

TEST_F(Sending, StartsTheClientMinimisedInTheProgramFolderAndReturnsWhileItRuns) {
  fs::current_path(outside_);
  area_->LaunchUpload();
  const std::vector<Report> reports = Reports(1);
  ASSERT_EQ(reports.size(), 1u) << "the client never started";
  const Report& client = reports.front();
  EXPECT_EQ(client.at("show"), "2");  // SW_SHOWMINIMIZED
  EXPECT_EQ(client.at("useshowwindow"), "1");
  EXPECT_TRUE(fs::equivalent(PathFromUtf8(client.at("cwd")), root_)) << client.at("cwd");
  EXPECT_EQ(client.at("commandline"), "ftp.exe -s:sendfiles.ftps");
  EXPECT_EQ(client.at("reportvar"), Text(root_ / "sendfiles-1.report"));
  // The client waits for its release: the call has returned while it still runs.
  const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, std::stoul(client.at("pid"))));
  ASSERT_NE(process.get(), nullptr);
  EXPECT_EQ(WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(area_->UploadRunning());
}

TEST_F(Sending, CapturesEachSendsTranscriptForItsOwnerAlone) {
  area_->LaunchUpload();
  area_->LaunchUpload();
  ASSERT_EQ(Reports(2).size(), 2u);
  ASSERT_TRUE(ReleaseAndAwaitEnd());
  for (const char* name : {"sendfiles-1.log", "sendfiles-2.log"}) {
    EXPECT_EQ(ReadFile(root_ / name), "stand-in output\r\nftp: stand-in complaint\r\n") << name;
    if (FileSystemKeepsAccessLists(root_)) {  // not under Wine
      EXPECT_TRUE(IsForItsOwnerAlone(root_ / name)) << name;
    }
  }
}

TEST_F(Sending, TellsEachEndedSendOnce) {
  area_->LaunchUpload();
  ASSERT_EQ(Reports(1).size(), 1u);
  EXPECT_TRUE(area_->TakeEndedUploads().empty());
  ASSERT_TRUE(ReleaseAndAwaitEnd());
  const std::vector<UploadOutcome> ended = area_->TakeEndedUploads();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].exitStatus, 7);
  EXPECT_EQ(ended[0].transcript, Text(root_ / "sendfiles-1.log"));
  // This stand-in writes no report, whatever its transcript says.
  EXPECT_FALSE(ended[0].report.has_value());
  ASSERT_TRUE(ended[0].reportError.has_value());
  EXPECT_EQ(ended[0].reportError->number(), errnum::kFileNotFound);
  EXPECT_EQ(ended[0].musicStaged, false);
  EXPECT_TRUE(area_->TakeEndedUploads().empty());
}

TEST_F(Sending, TracksTheStartedProgramUntilItEnds) {
  services_->ChDir(Text(root_));
  const std::unique_ptr<RunningProgram> client =
      services_->Shell("ftp.exe -s:sendfiles.ftps", WindowStyle::MinimizedFocus);
  ASSERT_EQ(Reports(1).size(), 1u);
  EXPECT_TRUE(client->Running());
  Release();
  EXPECT_TRUE(Ends(*client));
  EXPECT_EQ(client->ExitStatus(), 7);
  EXPECT_FALSE(client->Running());
}

TEST_F(Sending, StopTerminatesTheClientWithTheStoppedExitCode) {
  services_->ChDir(Text(root_));
  const std::unique_ptr<RunningProgram> client =
      services_->Shell("ftp.exe -s:sendfiles.ftps", WindowStyle::MinimizedFocus);
  const std::vector<Report> reports = Reports(1);
  ASSERT_EQ(reports.size(), 1u);
  const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, std::stoul(reports[0].at("pid"))));
  ASSERT_NE(process.get(), nullptr);
  client->Stop();
  EXPECT_FALSE(client->Running());
  EXPECT_EQ(client->ExitStatus(), static_cast<int>(kStoppedExitCode));
  EXPECT_EQ(WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(Sending, TwoSendsStartTwoClients) {
  area_->LaunchUpload();
  area_->LaunchUpload();
  const std::vector<Report> reports = Reports(2);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[0].at("pid"), reports[1].at("pid"));
}

TEST_F(Sending, SendsTheOutputIntoAFileForItsOwnerAloneAndPassesNoOtherHandle) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const UniqueHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
  const auto value = reinterpret_cast<std::uintptr_t>(event.get());
  services_->ChDir(Text(root_));
  const std::unique_ptr<RunningProgram> client =
      services_->Shell("ftp.exe --handle=" + std::to_string(value), WindowStyle::MinimizedFocus,
                       {.outputFile = Text(root_ / "client.log")});
  const std::vector<Report> reports = Reports(1);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports.front().at("handle"), "closed");
  Release();
  ASSERT_TRUE(Ends(*client));
  EXPECT_EQ(ReadFile(root_ / "client.log"), "stand-in output\r\nftp: stand-in complaint\r\n");
  if (FileSystemKeepsAccessLists(root_)) {  // not under Wine
    EXPECT_TRUE(IsForItsOwnerAlone(root_ / "client.log"));
  }
}

TEST_F(Sending, GivesTheClientTheToolsEnvironmentWithTheVariablesAdded) {
  // Names compare without regard to case: the tool's own variable in lower case is replaced.
  ASSERT_TRUE(SetEnvironmentVariableW(L"tunelift_ftp_report", L"C:\\an\\older.report"));
  ASSERT_TRUE(SetEnvironmentVariableW(L"TUNELIFT_INHERITED", L"kept"));
  services_->ChDir(Text(root_));
  const std::unique_ptr<RunningProgram> client = services_->Shell(
      "ftp.exe", WindowStyle::MinimizedFocus,
      {.environment = {{.name = "TUNELIFT_FTP_REPORT", .value = "C:\\the\\new report"}}});
  SetEnvironmentVariableW(L"tunelift_ftp_report", nullptr);
  SetEnvironmentVariableW(L"TUNELIFT_INHERITED", nullptr);
  const std::vector<Report> reports = Reports(1);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports.front().at("reportvar"), "C:\\the\\new report");
  EXPECT_EQ(reports.front().at("reportvars"), "1");
  EXPECT_EQ(reports.front().at("inherited"), "kept");
  Release();
  EXPECT_TRUE(Ends(*client));
}

TEST_F(Sending, StartsNothingWhenTheOutputFileCannotBeMade) {
  services_->ChDir(Text(root_));
  try {
    services_->Shell("ftp.exe", WindowStyle::MinimizedFocus,
                     {.outputFile = Text(root_ / "missing" / "client.log")});
    FAIL() << "an output file that cannot be made must stop the start";
  } catch (const Error& error) {
    EXPECT_NE(error.description().find("client.log"), std::string::npos) << error.description();
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));  // a client would have reported by now
  for (const auto& entry : fs::directory_iterator(root_)) {
    EXPECT_NE(entry.path().extension(), ".report") << "a client started without its output";
  }
}

TEST_F(Sending, StartsNothingWhenTheOutputNameIsTakenAndLeavesWhatHasIt) {
  WriteFile(root_ / "client.log", "an older log");
  services_->ChDir(Text(root_));
  try {
    services_->Shell("ftp.exe", WindowStyle::MinimizedFocus,
                     {.outputFile = Text(root_ / "client.log")});
    FAIL() << "a taken output name must stop the start";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kFileExists) << error.description();
  }
  EXPECT_EQ(ReadFile(root_ / "client.log"), "an older log");
  std::this_thread::sleep_for(std::chrono::seconds(1));  // a client would have reported by now
  for (const auto& entry : fs::directory_iterator(root_)) {
    EXPECT_NE(entry.path().extension(), ".report") << "a client started without its output";
  }
}

TEST_F(Sending, LooksInTheProgramFolderFirst) {
  // Another ftp.exe in the current directory and on the search path, where Windows' own
  // search would look first: the program folder's must win.
  WriteFile(outside_ / "ftp.exe", "not a program");
  const SearchPathOverride path(outside_);
  services_->ChDir(Text(outside_));
  const std::unique_ptr<RunningProgram> client =
      services_->Shell("ftp.exe", WindowStyle::MinimizedFocus);
  EXPECT_EQ(Reports(1, outside_).size(), 1u);
  WriteFile(outside_ / "client-release", "");
  EXPECT_TRUE(Ends(*client));
}

TEST_F(Sending, ReportsAMissingClient) {
  fs::remove(root_ / "ftp.exe");
  const SearchPathOverride path(outside_);
  try {
    area_->LaunchUpload();
    FAIL() << "a missing client must not pass for a started one";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kFileNotFound);
    EXPECT_NE(error.description().find("ftp.exe"), std::string::npos) << error.description();
  }
}

TEST_F(Sending, ReportsAClientThatCannotStart) {
  fs::remove(root_ / "ftp.exe");
  WriteFile(root_ / "ftp.exe", "not a program");
  EXPECT_THROW(area_->LaunchUpload(), Error);
  // Nothing half-done: no transcript, no send to wait for.
  EXPECT_FALSE(fs::exists(root_ / "sendfiles-1.log"));
  EXPECT_FALSE(area_->UploadRunning());
}

}  // namespace
}  // namespace tunelift::testing
