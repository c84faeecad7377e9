// The window's behaviour without a toolkit: each handler run through Run, as every window
// runs them, against a scripted window and scripted dialogs, on a real program folder with a
// stand-in FTP client. The same cases hold the Qt and the Win32 window to one behaviour.

#include "window/form_handlers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/build_config.h"
#include "listing/utf8_path.h"
#include "program_folder.h"
#include "scripted_dialogs.h"
#include "scripted_view.h"
#include "replay_client.h"

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;

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
  bool Load() { return Click(&FormHandlers::Form_Load); }
  void Stage(const std::string& name) { WriteFile(In(StagingPath(), name), "music"); }
  const std::vector<MsgBoxCall>& Boxes() const { return dialogs_.msgBoxCalls(); }

  // Runs the send timer's ticks, as the window would, until it is switched off (30 s at most).
  void TickUntilTheSendsHaveEnded() {
    for (int i = 0; i < 1500 && view_.timerOn(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      Click(&FormHandlers::SendTimer_Timer);
    }
    ASSERT_FALSE(view_.timerOn()) << "a send did not end";
  }

  // Runs the copy timer's ticks until the copy a pick started has ended (30 s at most); what
  // the last one, which found it ended, returned.
  bool TickUntilTheCopyHasEnded() {
    bool finished = true;
    for (int i = 0; i < 1500 && view_.copyTimerOn(); ++i) {
      finished = Click(&FormHandlers::CopyTimer_Timer);
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
  EXPECT_TRUE(fs::equivalent(PathFromUtf8(view_.label4()), root_));
  EXPECT_EQ(view_.Shown(), (Strings{"A.MP3", "b.mp3"}));
  EXPECT_TRUE(Boxes().empty());

  Click(&FormHandlers::Browse_Click);  // no answer scripted: the user cancels
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
  EXPECT_TRUE(Click(&FormHandlers::Browse_Click));
  EXPECT_TRUE(TickUntilTheCopyHasEnded());
  EXPECT_TRUE(Click(&FormHandlers::Browse_Click));
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
  EXPECT_TRUE(Click(&FormHandlers::Browse_Click));  // cancelled
  EXPECT_TRUE(Boxes().empty());

  dialogs_.FailOpenWith(20, "The dialog could not be made.");
  EXPECT_TRUE(Click(&FormHandlers::Browse_Click));
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
  EXPECT_TRUE(Click(&FormHandlers::Browse_Click));  // the copy starts, and fails on its own
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
  EXPECT_TRUE(Click(&FormHandlers::cmdDelete_Click));  // nothing selected: nothing asked
  EXPECT_TRUE(Boxes().empty());

  view_.File1().Select(1);
  dialogs_.AnswerMsgBoxWith(msgbox::kIdNo);
  EXPECT_TRUE(Click(&FormHandlers::cmdDelete_Click));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt, "Are you sure you want to delete that?");
  EXPECT_EQ(Boxes()[0].style, 36);
  EXPECT_EQ(Names(StagingPath()), (Strings{"a.mp3", "b.mp3"}));
  EXPECT_EQ(view_.File1().ListIndex(), 1);  // still selected after the refresh

  dialogs_.AnswerMsgBoxWith(msgbox::kIdYes);
  EXPECT_TRUE(Click(&FormHandlers::cmdDelete_Click));
  EXPECT_EQ(Names(StagingPath()), Strings{"a.mp3"});
  EXPECT_EQ(view_.Shown(), Strings{"a.mp3"});
}

TEST_F(FormHandlersTest, DeleteAllEmptiesTheStagingFolderWithoutAskingAgainAndAgain) {
  Stage("a.mp3");
  Stage("b.wav");
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Click(&FormHandlers::Delete_Click));
  EXPECT_TRUE(Click(&FormHandlers::Delete_Click));  // nothing left is not a failure
  EXPECT_TRUE(Names(StagingPath()).empty());
  EXPECT_TRUE(view_.Shown().empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormHandlersTest, SendStartsTheClientShowsItRunsAndTellsHowItEnded) {
  InstallStandInClient(root_);
  ReplayForClients(root_, 0, "ftp: 5 bytes sent in 0.01 Seconds 0.50 Kbytes/sec.\n");
  Stage("song.mp3");
  ASSERT_TRUE(Load());
  ASSERT_TRUE(Click(&FormHandlers::Send_Click));
  EXPECT_EQ(view_.sendingTooltip(), kSendingTooltip);
  EXPECT_TRUE(view_.timerOn());
  AwaitClients(1);
  const Strings run = ClientRuns(root_)[0];
  ASSERT_EQ(run.size(), 2u);
  EXPECT_TRUE(fs::equivalent(run[0], root_));
  EXPECT_EQ(run[1], "-s:sendfiles.ftps");

  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_FALSE(view_.told()[0].failed);
  EXPECT_EQ(view_.told()[0].body, "1 MP3 file was sent to " + std::string(kFtpHost) + ".");
  EXPECT_TRUE(view_.sendingTooltip().empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormHandlersTest, FinishRefusesWhileAClientSendsAndFinishesOnceItHasEnded) {
  InstallStandInClient(root_);
  ReplayForClients(root_, 1, "ftp: Could not resolve host\n");
  Stage("not yet sent.mp3");
  ASSERT_TRUE(Load());
  ClientHold hold(root_);
  ASSERT_TRUE(Click(&FormHandlers::Send_Click));
  AwaitClients(1);

  EXPECT_FALSE(Click(&FormHandlers::Finish_Click));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].prompt.find("still sending"), std::string::npos) << Boxes()[0].prompt;
  EXPECT_TRUE(fs::exists(StagingPath() / "not yet sent.mp3"));
  EXPECT_TRUE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_FALSE(view_.Unloaded());

  hold.Release();
  TickUntilTheSendsHaveEnded();
  ASSERT_EQ(view_.told().size(), 1u);
  EXPECT_TRUE(view_.told()[0].failed);
  EXPECT_TRUE(Click(&FormHandlers::Finish_Click));
  EXPECT_TRUE(view_.Unloaded());
  EXPECT_FALSE(fs::exists(StagingPath()));
  EXPECT_EQ(Names(root_), (Strings{"ftp-replay.txt", "ftp-runs.txt", "ftp.exe"}));
}

TEST_F(FormHandlersTest, FinishWarnsOfAStagingFolderAlreadyGoneAndStillFinishes) {
  ASSERT_TRUE(Load());
  fs::remove_all(StagingPath());
  dialogs_.AnswerMsgBoxWith(msgbox::kIdOk, [this] {
    EXPECT_TRUE(fs::exists(root_ / "sendfiles.ftps")) << "the warning comes first";
  });
  EXPECT_TRUE(Click(&FormHandlers::Finish_Click));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt, Text(StagingPath()) + " does not exist or has already been deleted!");
  EXPECT_EQ(Boxes()[0].style, 48);
  EXPECT_EQ(Boxes()[0].title, "Folder not Found");
  EXPECT_FALSE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_TRUE(view_.Unloaded());
}

}  // namespace
}  // namespace tunelift::testing
