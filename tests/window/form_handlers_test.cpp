// The window's behaviour without a toolkit: each handler run through Run, as every window
// runs them, against a scripted window and scripted dialogs, on a real program folder with a
// stand-in FTP client. The same cases hold the Qt and the Win32 window to one behaviour.

#include "window/form_handlers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "core/build_config.h"
#include "text/utf8_path.h"
#include "program_folder.h"
#include "scripted_dialogs.h"
#include "scripted_view.h"
#include "replay_client.h"

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kReportStart = "tunelift-send-report\t1\nserver\ttunelift.example.net\n";
const std::string kPlainConnection = "encryption\tnone\nidentity\tnot-checked\n";

class FormHandlersTest : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    handlers_ = std::make_unique<FormHandlers>(*services_, view_, dialogs_);
  }
  void TearDown() override {
    handlers_.reset();
    ProgramFolderTest::TearDown();
  }

  bool Click(FormHandlers::Handler handler) { return handlers_->Run(handler); }
  bool Load() { return Click(&FormHandlers::Load); }
  void Stage(const std::string& name) { WriteFile(In(StagingPath(), name), "music"); }
  const std::vector<MsgBoxCall>& Boxes() const { return dialogs_.msgBoxCalls(); }

  // Runs the send timer's ticks, as the window would, until it is switched off (30 s at most).
  void TickUntilTheSendsHaveEnded() {
    for (int i = 0; i < 1500 && view_.timerOn(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      Click(&FormHandlers::SendTimerTick);
    }
    ASSERT_FALSE(view_.timerOn()) << "a send did not end";
  }

  // Runs the copy timer's ticks until the copy a pick started has ended (30 s at most); what
  // the last one, which found it ended, returned.
  bool TickUntilTheCopyHasEnded() {
    bool finished = true;
    for (int i = 0; i < 1500 && view_.copyTimerOn(); ++i) {
      finished = Click(&FormHandlers::CopyTimerTick);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(view_.copyTimerOn()) << "the copy did not end";
    return finished;
  }

  // Waits until `count` clients have started in the program folder (30 s at most).
  void AwaitClients(std::size_t count) {
    for (int i = 0; i < 1500 && ClientRuns(root_).size() < count; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(ClientRuns(root_).size(), count);
  }

  ScriptedView view_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<FormHandlers> handlers_;
};

TEST_F(FormHandlersTest, LoadPreparesTheFolderAndScriptAndListsWhatAnEarlierRunLeft) {
  for (const char* name : {"b.mp3", "A.MP3", "notes.txt"}) {
    Stage(name);
  }
  ASSERT_TRUE(Load());
  EXPECT_TRUE(fs::is_regular_file(root_ / "sendfiles.ftps"));
  EXPECT_TRUE(fs::equivalent(PathFromUtf8(view_.folderCaption()), root_));
  EXPECT_EQ(view_.Shown(), (Strings{"A.MP3", "b.mp3"}));
  EXPECT_TRUE(Boxes().empty());

  Click(&FormHandlers::ChooseAndStageFile);  // no answer scripted: the user cancels
  ASSERT_EQ(dialogs_.openCalls().size(), 1u);
  const OpenFileSettings& settings = dialogs_.openCalls()[0];
  EXPECT_EQ(settings.initDir, services_->ProgramFolder());
  EXPECT_EQ(settings.filter, "MP3 Files (*.MP3)|*.mp3|All Files (*.*)|*.*");
  EXPECT_EQ(settings.filterIndex, 1);
  EXPECT_EQ(settings.dialogTitle, "Open File");
  EXPECT_EQ(settings.flags, 0x00281004);
  EXPECT_TRUE(settings.cancelError);
}

TEST_F(FormHandlersTest, BrowseStagesEachPickAndOpensNextWhereTheUserPicked) {
  ASSERT_TRUE(Load());
  WriteFile(outside_ / "song.mp3", "song");
  WriteFile(outside_ / "voice.wav", "voice");
  dialogs_.AnswerOpenWith(Text(outside_ / "song.mp3"), [this] {
    EXPECT_EQ(view_.busyDepth(), 0) << "busy while the user picks";
  });
  dialogs_.AnswerOpenWith(Text(outside_ / "voice.wav"));
  EXPECT_TRUE(Click(&FormHandlers::ChooseAndStageFile));
  EXPECT_TRUE(TickUntilTheCopyHasEnded());
  EXPECT_TRUE(Click(&FormHandlers::ChooseAndStageFile));
  EXPECT_TRUE(TickUntilTheCopyHasEnded());

  EXPECT_EQ(ReadFile(StagingPath() / "song.mp3"), "song");
  EXPECT_EQ(ReadFile(StagingPath() / "voice.wav"), "voice");  // staged, but not listed
  EXPECT_EQ(view_.Shown(), Strings{"song.mp3"});
  EXPECT_EQ(dialogs_.openCalls()[1].initDir, Text(outside_));
  EXPECT_EQ(view_.busyTimes(), 2);
  EXPECT_EQ(view_.busyDepth(), 0);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormHandlersTest, BrowseIsSilentOnCancelAndReportsOnlyTheDialogsOwnFailure) {
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Click(&FormHandlers::ChooseAndStageFile));  // cancelled
  EXPECT_TRUE(Boxes().empty());

  dialogs_.FailOpenWith(20, "The dialog could not be made.");
  EXPECT_TRUE(Click(&FormHandlers::ChooseAndStageFile));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt, "Error 20 selecting file.\r\nThe dialog could not be made.");
  EXPECT_EQ(Boxes()[0].style, 0);
  EXPECT_EQ(Boxes()[0].title, "");
  EXPECT_TRUE(Names(StagingPath()).empty());
}

TEST_F(FormHandlersTest, AFailureIsReportedWithWhatCouldNotBeDoneAndTheListStillRefreshed) {
  ASSERT_TRUE(Load());
  dialogs_.AnswerOpenWith(Text(outside_ / "gone.mp3"));
  Stage("arrived meanwhile.mp3");
  EXPECT_TRUE(Click(&FormHandlers::ChooseAndStageFile));  // the copy starts, and fails on its own
  EXPECT_FALSE(TickUntilTheCopyHasEnded());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt.rfind("Could not stage the file.\r\n", 0), 0u) << Boxes()[0].prompt;
  EXPECT_NE(Boxes()[0].prompt.find("gone.mp3"), std::string::npos);
  EXPECT_EQ(Boxes()[0].style, msgbox::kIconExclamation);
  EXPECT_EQ(view_.Shown(), Strings{"arrived meanwhile.mp3"});
  EXPECT_EQ(view_.busyDepth(), 0);
}

TEST_F(FormHandlersTest, DeleteSelectedAsksFirstAndDeletesOnlyTheSelectedFileOnYes) {
  Stage("a.mp3");
  Stage("b.mp3");
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Click(&FormHandlers::DeleteSelectedFile));  // nothing selected: nothing asked
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Names(StagingPath()), (Strings{"a.mp3", "b.mp3"}));

  view_.StagedFiles().Select(1);
  Stage("c.mp3");  // the refresh after the click lists it
  dialogs_.AnswerMsgBoxWith(msgbox::kIdNo);
  EXPECT_TRUE(Click(&FormHandlers::DeleteSelectedFile));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt, "Are you sure you want to delete that?");
  EXPECT_EQ(Boxes()[0].style, 36);
  EXPECT_EQ(Boxes()[0].title, "");
  EXPECT_EQ(Names(StagingPath()), (Strings{"a.mp3", "b.mp3", "c.mp3"}));
  EXPECT_EQ(view_.Shown(), (Strings{"a.mp3", "b.mp3", "c.mp3"}));
  EXPECT_EQ(view_.StagedFiles().ListIndex(), 1);  // still on b.mp3 after the refresh

  dialogs_.AnswerMsgBoxWith(msgbox::kIdYes);
  EXPECT_TRUE(Click(&FormHandlers::DeleteSelectedFile));
  EXPECT_EQ(Names(StagingPath()), (Strings{"a.mp3", "c.mp3"}));
  EXPECT_EQ(view_.Shown(), (Strings{"a.mp3", "c.mp3"}));
  EXPECT_EQ(view_.StagedFiles().ListIndex(), -1);  // the deleted entry took the selection along
}

TEST_F(FormHandlersTest, DeleteAllEmptiesTheStagingFolderWithoutAskingAgainAndAgain) {
  Stage("a.mp3");
  Stage("b.wav");
  fs::create_directory(StagingPath() / "kept");  // files go, folders stay
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Click(&FormHandlers::DeleteAllFiles));
  EXPECT_TRUE(Click(&FormHandlers::DeleteAllFiles));  // nothing left is not a failure
  EXPECT_EQ(Names(StagingPath()), Strings{"kept"});
  EXPECT_TRUE(view_.Shown().empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormHandlersTest, SendStartsTheClientShowsItRunsAndTellsHowItEnded) {
  InstallStandInClient(root_);
  // The transcript's words count for nothing; the report is what the notice tells.
  ReplayForClients(root_, 0, "ftp: 4000000 bytes sent in 0.01 Seconds 0.50 Kbytes/sec.\n");
  ReportForClients(root_, kReportStart + kPlainConnection +
                              "file\tsong.mp3\t5\t5\tverified\t226\tTransfer complete.\t\n"
                              "end\t0\n");
  Stage("song.mp3");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  // The client may have written its report before the window first read it.
  const std::string& shown = view_.sendingTooltip();
  EXPECT_TRUE(shown == kSendingTooltip || shown == "Sending 1 of 1: song.mp3, 100 % (5 of 5 bytes)")
      << shown;
  EXPECT_TRUE(view_.timerOn());
  AwaitClients(1);
  const Strings run = ClientRuns(root_)[0];
  ASSERT_EQ(run.size(), 2u);
  EXPECT_TRUE(fs::equivalent(run[0], root_));
  EXPECT_EQ(run[1], "-s:sendfiles.ftps");

  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_FALSE(view_.told()[0].failed);
  EXPECT_EQ(view_.told()[0].summary, "The music went");
  EXPECT_EQ(view_.told()[0].body,
            "1 MP3 file was sent to " + std::string(kFtpHost) +
                " and verified.\nThe connection was not encrypted. The server's identity was "
                "not checked.");
  EXPECT_TRUE(view_.sendingTooltip().empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormHandlersTest, SendWithNothingStagedSaysSoAndStartsNoClient) {
  InstallStandInClient(root_);
  Stage("notes.txt");    // staged, but no music
  Stage(".hidden.mp3");  // not listed, and not sent
  fs::create_directory(StagingPath() / "album.mp3");
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Click(&FormHandlers::SendStagedFiles));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt,
            "There is no music to send. Press \"Browse for .MP3 files\" to pick a song first.");
  EXPECT_EQ(Boxes()[0].style, msgbox::kIconInformation);
  EXPECT_FALSE(view_.timerOn());
  EXPECT_TRUE(view_.sendingTooltip().empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // a client would have begun
  EXPECT_TRUE(ClientRuns(root_).empty());
  EXPECT_FALSE(fs::exists(root_ / "sendfiles-1.log"));
}

TEST_F(FormHandlersTest, ASendThatFailedNamesEachRefusedFileAndNeverSpeaksTheServersWords) {
  InstallStandInClient(root_);
  ReplayForClients(root_, 1, "ftp: All files were sent.\n");
  const std::string suspended = "ftp: Your account is suspended; log in again at http://x.test/";
  ReportForClients(
      root_, kReportStart + kPlainConnection +
                 "file\ta.mp3\t5\t0\tfailed\t550\tPermission denied.\tThe server refused it.\n"
                 "file\tb.mp3\t5\t0\tfailed\t530\t" +
                 suspended +
                 "\tThe server refused it.\n"
                 "failure\t421\t" +
                 suspended +
                 "\tThe server closed the connection.\n"
                 "end\t1\n");
  Stage("a.mp3");
  Stage("b.mp3");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  const SendNotice& notice = view_.told()[0];
  EXPECT_TRUE(notice.failed);
  EXPECT_EQ(notice.summary, "The music did not go");
  EXPECT_EQ(notice.body,
            "No MP3 file was sent to " + std::string(kFtpHost) + ".\n" +
                "The FTP client said: The server closed the connection. The server's reply: "
                "421 " +
                suspended + "\n" + "The server refused a.mp3: 550 Permission denied.\n" +
                "The server refused b.mp3: 530 " + suspended + "\n" +
                "The connection was not encrypted. The server's identity was not checked.\n" +
                "The staged files are still there; press \"Send the Music!\" to try again.");
}

TEST_F(FormHandlersTest, ACutShortReportLeavesTheOutcomeUnknownAndNamesTheTranscript) {
  InstallStandInClient(root_);
  ReplayForClients(root_, 0, "ftp: 5 bytes sent in 0.01 Seconds 0.50 Kbytes/sec.\n");
  ReportForClients(root_,
                   kReportStart + kPlainConnection + "file\tsong.mp3\t5\t2\tsending\t0\t\t\n");
  Stage("song.mp3");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_TRUE(view_.told()[0].failed);
  EXPECT_EQ(view_.told()[0].summary, "How the send ended is unknown");
  EXPECT_EQ(view_.told()[0].body,
            "The FTP client's report stops before its end, so how the send ended is unknown.\n"
            "Read its transcript to learn more: " +
                Text(root_ / "sendfiles-1.log") + "\n" +
                "The FTP client ended with exit status 0.\n" +
                "The staged files are still there; press \"Send the Music!\" to try again.");
  EXPECT_TRUE(fs::exists(root_ / "sendfiles-1.log"));
}

TEST_F(FormHandlersTest, AfterDeleteAllDuringASendTheNoticeDoesNotClaimTheFilesAreStaged) {
  InstallStandInClient(root_);
  ReportForClients(root_, kReportStart + kPlainConnection +
                              "file\tsong.mp3\t5\t0\tfailed\t451\tLocal error.\t\n"
                              "end\t1\n");
  Stage("song.mp3");
  ASSERT_TRUE(Load());
  ClientHold hold(root_);
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  AwaitClients(1);
  // Delete All waits for the send's end; the files go some other way meanwhile.
  ASSERT_TRUE(Click(&FormHandlers::DeleteAllFiles));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_TRUE(Boxes()[0].prompt.starts_with("The music is still being sent")) << Boxes()[0].prompt;
  fs::remove(StagingPath() / "song.mp3");
  hold.Release();
  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  const std::string& body = view_.told()[0].body;
  EXPECT_EQ(body.find("still there"), std::string::npos) << body;
  EXPECT_TRUE(body.ends_with("\nNo music is staged any more.")) << body;
}

TEST_F(FormHandlersTest, FinishRefusesWhileAClientSendsAndFinishesOnceItHasEnded) {
  InstallStandInClient(root_);
  ReplayForClients(root_, 1, "ftp: Could not resolve host\n");
  ReportForClients(root_, kReportStart + "failure\t0\t\tThe host cannot be found.\nend\t1\n");
  Stage("not yet sent.mp3");
  ASSERT_TRUE(Load());
  ClientHold hold(root_);
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  AwaitClients(1);

  // Refused with the reason first: not a failure, and nothing is deleted.
  EXPECT_TRUE(Click(&FormHandlers::Finish));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt,
            "The music is still being sent. Press \"Finish!\" again once it has ended; the "
            "window stays open meanwhile.");
  EXPECT_TRUE(fs::exists(StagingPath() / "not yet sent.mp3"));
  EXPECT_TRUE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_FALSE(view_.Unloaded());

  hold.Release();
  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_TRUE(view_.told()[0].failed);
  EXPECT_TRUE(Click(&FormHandlers::Finish));
  EXPECT_TRUE(view_.Unloaded());
  EXPECT_FALSE(fs::exists(StagingPath()));
  // The transcript and the report went with the script.
  EXPECT_EQ(Names(root_), (Strings{"ftp-replay.txt", "ftp-report.txt", "ftp-runs.txt", "ftp.exe"}));
}

TEST_F(FormHandlersTest, FinishWarnsOfAStagingFolderAlreadyGoneAndStillFinishes) {
  ASSERT_TRUE(Load());
  fs::remove_all(StagingPath());
  dialogs_.AnswerMsgBoxWith(msgbox::kIdOk, [this] {
    EXPECT_TRUE(fs::exists(root_ / "sendfiles.ftps")) << "the warning comes first";
  });
  EXPECT_TRUE(Click(&FormHandlers::Finish));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt,
            Text(StagingPath()) + " does not exist or has already been deleted!");
  EXPECT_EQ(Boxes()[0].style, 48);
  EXPECT_EQ(Boxes()[0].title, "Folder not Found");
  EXPECT_FALSE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_TRUE(view_.Unloaded());
}

// A second window in the same program folder: it shows the first one's send, refuses what
// would send twice or delete from under the client, and leaves the telling to the first.
TEST_F(FormHandlersTest, ASecondWindowShowsTheFirstsSendAndRefusesWhatWouldDisturbIt) {
  InstallStandInClient(root_);
  ReportForClients(root_, kReportStart + kPlainConnection +
                              "file\tsong.mp3\t5\t0\tsending\t0\t\t\n"
                              "file\tnext.mp3\t5\t0\twaiting\t0\t\t\n");
  Stage("song.mp3");
  Stage("next.mp3");
  ASSERT_TRUE(Load());
  ClientHold hold(root_);
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  AwaitClients(1);

  ScriptedView secondView;
  ScriptedDialogs secondDialogs;
  FormHandlers second(*services_, secondView, secondDialogs);
  ASSERT_TRUE(second.Run(&FormHandlers::Load));
  EXPECT_FALSE(secondView.sendingTooltip().empty());
  EXPECT_TRUE(secondView.timerOn());
  for (const FormHandlers::Handler refused :
       {&FormHandlers::SendStagedFiles, &FormHandlers::DeleteAllFiles, &FormHandlers::Finish}) {
    EXPECT_TRUE(second.Run(refused));
  }
  const std::vector<MsgBoxCall>& boxes = secondDialogs.msgBoxCalls();
  ASSERT_EQ(boxes.size(), 3u);
  for (const MsgBoxCall& box : boxes) {
    EXPECT_TRUE(box.prompt.starts_with("The music is still being sent (1 of 2 files)."))
        << box.prompt;
  }
  EXPECT_EQ(ClientRuns(root_).size(), 1u);
  EXPECT_TRUE(fs::exists(StagingPath() / "next.mp3"));
  EXPECT_FALSE(secondView.Unloaded());

  ReportForClients(root_, kReportStart + kPlainConnection +
                              "file\tsong.mp3\t5\t5\tverified\t0\t\t\n"
                              "file\tnext.mp3\t5\t5\tverified\t0\t\t\nend\t0\n");
  hold.Release();
  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  ASSERT_TRUE(second.Run(&FormHandlers::SendTimerTick));
  EXPECT_TRUE(secondView.told().empty());  // told once, by the window that started it
  EXPECT_TRUE(secondView.sendingTooltip().empty());
}

// The reports of a send of two files as the client writes them while it sends: before the
// first file, part of the first, part of the second, and the end (exit status `status`).
std::vector<std::string> TwoFileReports(std::string_view secondState, int status) {
  const std::string start = kReportStart + kPlainConnection;
  const std::string bWaits = "file\tb.mp3\t300\t0\twaiting\t0\t\t\n";
  return {start + "file\ta.mp3\t100\t0\twaiting\t0\t\t\n" + bWaits,
          start + "file\ta.mp3\t100\t40\tsending\t0\t\t\n" + bWaits,
          start +
              "file\ta.mp3\t100\t100\tverified\t226\tOK\t\n"
              "file\tb.mp3\t300\t150\tsending\t0\t\t\n",
          start +
              "file\ta.mp3\t100\t100\tverified\t226\tOK\t\n"
              "file\tb.mp3\t300\t300\t" +
              std::string(secondState) +
              "\t226\tOK\t\n"
              "end\t" +
              std::to_string(status) + "\n"};
}

TEST_F(FormHandlersTest, WhileASendRunsItsTooltipAndLauncherProgressFollowTheReport) {
  InstallStandInClient(root_);
  ReportsForClients(root_, TwoFileReports("verified", 0), std::chrono::milliseconds(400));
  Stage("a.mp3");
  Stage("b.mp3");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  EXPECT_EQ(view_.tooltips(), Strings{"Sending the music\u2026"});
  TickUntilTheSendsHaveEnded();

  const Strings& tooltips = view_.tooltips();
  const auto shown = [&](const std::string& tooltip) {
    return std::ranges::find(tooltips, tooltip) != tooltips.end();
  };
  EXPECT_TRUE(shown("Sending 1 of 2: a.mp3, 40 % (40 of 100 bytes)"))
      << ::testing::PrintToString(tooltips);
  EXPECT_TRUE(shown("Sending 2 of 2: b.mp3, 50 % (150 of 300 bytes)"))
      << ::testing::PrintToString(tooltips);
  for (std::size_t i = 1; i < tooltips.size(); ++i) {
    EXPECT_NE(tooltips[i], tooltips[i - 1]) << "the same tooltip given twice in a row";
  }
  const std::vector<double>& progress = view_.progressShown();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 0.0);
  EXPECT_NE(std::ranges::find(progress, 0.1), progress.end());
  EXPECT_NE(std::ranges::find(progress, 250.0 / 400.0), progress.end());
  EXPECT_TRUE(std::ranges::is_sorted(progress));
  EXPECT_EQ(view_.progressEnded(), std::vector<bool>{false});
  EXPECT_TRUE(view_.sendingTooltip().empty());
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_EQ(view_.told()[0].summary, "The music went");
}

TEST_F(FormHandlersTest, AFailedSendEndsItsLauncherProgressAsFailed) {
  InstallStandInClient(root_);
  ReportsForClients(root_, TwoFileReports("failed", 1), std::chrono::milliseconds(0));
  Stage("a.mp3");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  TickUntilTheSendsHaveEnded();
  EXPECT_EQ(view_.progressEnded(), std::vector<bool>{true});
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_TRUE(view_.told()[0].failed);
}

TEST_F(FormHandlersTest, ALauncherThatRefusesTheProgressIsToldAfterTheNoticeAndOnlyOnce) {
  InstallStandInClient(root_);
  ReportsForClients(root_, TwoFileReports("verified", 0), std::chrono::milliseconds(0));
  Stage("a.mp3");
  ASSERT_TRUE(Load());
  view_.FailEndSendProgressWith(Error(errnum::kDeviceUnavailable, "The bus refused it."));
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_EQ(view_.told()[0].summary, "The music went");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt,
            "Could not show how far the music's sending has come.\r\nThe bus refused it.");
  EXPECT_TRUE(view_.sendingTooltip().empty());
  EXPECT_FALSE(view_.timerOn());
}

TEST_F(FormHandlersTest, StopSendingEndsTheSendAtOnceAndTellsWhatWentBeforeIt) {
  InstallStandInClient(root_);
  // The client would take a minute over its last report: only a stop ends it sooner.
  std::vector<std::string> reports = TwoFileReports("verified", 0);
  reports.erase(reports.begin(), reports.begin() + 2);
  ReportsForClients(root_, reports, std::chrono::minutes(1));
  Stage("a.mp3");
  Stage("b.mp3");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  for (int i = 0; i < 1500 && view_.sendingTooltip().find("2 of 2") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Click(&FormHandlers::SendTimerTick);
  }
  ASSERT_EQ(view_.sendingTooltip(), "Sending 2 of 2: b.mp3, 50 % (150 of 300 bytes)");

  EXPECT_TRUE(Click(&FormHandlers::StopSending));
  EXPECT_FALSE(view_.timerOn());
  EXPECT_TRUE(view_.sendingTooltip().empty());
  EXPECT_EQ(view_.progressEnded(), std::vector<bool>{false});
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_EQ(view_.told()[0].summary, "The send was stopped");
  EXPECT_EQ(view_.told()[0].body,
            "1 MP3 file was sent to " + std::string(kFtpHost) +
                " and verified.\n"
                "The send was stopped before it ended.\n"
                "b.mp3 was not sent whole: 150 of 300 bytes went.\n"
                "The connection was not encrypted. The server's identity was not checked.\n"
                "The staged files are still there; press \"Send the Music!\" to try again.");
  EXPECT_TRUE(Boxes().empty());
  // Finish! finds no send running any more.
  EXPECT_TRUE(Click(&FormHandlers::Finish));
  EXPECT_TRUE(view_.Unloaded());
}

TEST_F(FormHandlersTest, ShowTranscriptOpensTheRunningSendsTranscriptInTheViewer) {
  InstallStandInClient(root_);
  Stage("a.mp3");
  ASSERT_TRUE(Load());
  ClientHold hold(root_);
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  AwaitClients(1);
  EXPECT_TRUE(Click(&FormHandlers::ShowTranscript));
  EXPECT_EQ(view_.opened(), Strings{Text(root_ / "sendfiles-1.log")});
  hold.Release();
  TickUntilTheSendsHaveEnded();
  EXPECT_TRUE(Click(&FormHandlers::ShowTranscript));  // nothing runs: nothing to open
  EXPECT_EQ(view_.opened().size(), 1u);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormHandlersTest, ClosingTheWindowWithNoSendRunningClosesItWithoutAsking) {
  Stage("a.mp3");
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Click(&FormHandlers::CloseWindow));
  EXPECT_TRUE(view_.Unloaded());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(fs::exists(StagingPath() / "a.mp3")) << "closing keeps the staged files";
}

TEST_F(FormHandlersTest, ClosingDuringASendAndKeepingItGoesOnHiddenThenTellsAndCloses) {
  InstallStandInClient(root_);
  ReportForClients(
      root_, kReportStart + kPlainConnection + "file\ta.mp3\t5\t5\tverified\t226\tOK\t\nend\t0\n");
  Stage("a.mp3");
  ASSERT_TRUE(Load());
  ClientHold hold(root_);
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  AwaitClients(1);

  dialogs_.AnswerMsgBoxWith(msgbox::kIdYes);
  EXPECT_TRUE(Click(&FormHandlers::CloseWindow));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt,
            "The music is still being sent. Keep sending after the window closes?");
  EXPECT_EQ(Boxes()[0].style, msgbox::kYesNo | msgbox::kIconQuestion);
  EXPECT_TRUE(view_.hidden());
  EXPECT_FALSE(view_.Unloaded());
  EXPECT_TRUE(view_.timerOn());
  EXPECT_FALSE(view_.sendingTooltip().empty()) << "the status icon stays";

  hold.Release();
  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_EQ(view_.told()[0].summary, "The music went");
  EXPECT_TRUE(view_.Unloaded());
  EXPECT_TRUE(fs::exists(StagingPath() / "a.mp3")) << "closing keeps the staged files";
}

TEST_F(FormHandlersTest, ASendThatEndsWhileTheQuestionIsUpIsToldAndTheWindowClosesAtOnce) {
  InstallStandInClient(root_);
  Stage("a.mp3");
  ASSERT_TRUE(Load());
  auto hold = std::make_unique<ClientHold>(root_);
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  AwaitClients(1);
  dialogs_.AnswerMsgBoxWith(msgbox::kIdYes, [&] {
    hold.reset();
    // The window's timer ticks while the box is up.
    TickUntilTheSendsHaveEnded();
  });
  EXPECT_TRUE(Click(&FormHandlers::CloseWindow));
  EXPECT_EQ(view_.told().size(), 1u);
  EXPECT_TRUE(view_.Unloaded());
}

TEST_F(FormHandlersTest, ClosingDuringASendAndStoppingItTellsWhatWentThenCloses) {
  InstallStandInClient(root_);
  Stage("a.mp3");
  ASSERT_TRUE(Load());
  ClientHold hold(root_);
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  AwaitClients(1);
  dialogs_.AnswerMsgBoxWith(msgbox::kIdNo);
  EXPECT_TRUE(Click(&FormHandlers::CloseWindow));
  EXPECT_FALSE(view_.hidden());
  EXPECT_TRUE(view_.Unloaded());
  EXPECT_FALSE(view_.timerOn());
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_EQ(view_.told()[0].summary, "The send was stopped");
  EXPECT_TRUE(view_.told()[0].body.starts_with(
      "The send was stopped before the FTP client wrote its report, so what went is unknown.\n"))
      << view_.told()[0].body;
}

TEST_F(FormHandlersTest, ClosingDuringASendWithoutAnAnswerLeavesTheWindowAndTheSend) {
  InstallStandInClient(root_);
  Stage("a.mp3");
  ASSERT_TRUE(Load());
  ClientHold hold(root_);
  ASSERT_TRUE(Click(&FormHandlers::SendStagedFiles));
  AwaitClients(1);
  EXPECT_TRUE(Click(&FormHandlers::CloseWindow));  // the box answers neither Yes nor No
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_FALSE(view_.hidden());
  EXPECT_FALSE(view_.Unloaded());
  EXPECT_TRUE(view_.timerOn());
  EXPECT_TRUE(view_.told().empty());
}

}  // namespace
}  // namespace tunelift::testing
