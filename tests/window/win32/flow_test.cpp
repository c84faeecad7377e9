// The whole job on the real window, its buttons clicked through their messages and the
// dialogs answering from a script: start-up, Browse, the deletes, Send with a stand-in FTP
// client, and Finish. The tests' Wine has no notification area, so the end of a send is
// told in a (scripted) message box.

#include <gtest/gtest.h>

#include "text/utf8_path.h"
#include "replay_client.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;

class Win32FlowTest : public Win32WindowTest {
protected:
  void Pick(const std::string& name) {
    const fs::path song = In(outside_, name);
    WriteFile(song, "music of " + name);
    dialogs_.AnswerOpenWith(Text(song));
    Click("Browse");
  }
};

TEST_F(Win32FlowTest, StartUpListsWhatAnEarlierRunLeftAndShowsTheProgramFolder) {
  for (const char* name : {"b.mp3", "A.MP3", "notes.txt"}) {
    WriteFile(In(StagingPath(), name), "music");
  }
  ASSERT_TRUE(LoadAndShow());
  EXPECT_TRUE(fs::is_regular_file(root_ / "sendfiles.ftps"));
  EXPECT_TRUE(fs::equivalent(PathFromUtf8(TextOf(Control("Label4"))), root_));
  EXPECT_EQ(Listed(), (Strings{"A.MP3", "b.mp3"}));
  EXPECT_TRUE(IsWindowVisible(window_->Handle()));
}

TEST_F(Win32FlowTest, BrowseStagesEachPickAndTheDeletesTakeWhatTheUserChose) {
  ASSERT_TRUE(LoadAndShow());
  Pick("\xC3\x89t\xC3\xA9 \xC3\xA0 Paris.mp3");  // "Été à Paris.mp3"
  Pick("b.mp3");
  Pick("c.mp3");
  EXPECT_EQ(Listed(), (Strings{"b.mp3", "c.mp3", "\xC3\x89t\xC3\xA9 \xC3\xA0 Paris.mp3"}));
  EXPECT_EQ(ReadFile(In(StagingPath(), "b.mp3")), "music of b.mp3");
  EXPECT_TRUE(dialogs_.msgBoxCalls().empty());

  SelectEntry("c.mp3");
  dialogs_.AnswerMsgBoxWith(msgbox::kIdYes);
  Click("cmdDelete");
  ASSERT_EQ(dialogs_.msgBoxCalls().size(), 1u);
  EXPECT_EQ(dialogs_.msgBoxCalls()[0].style, 36);
  EXPECT_EQ(Listed(), (Strings{"b.mp3", "\xC3\x89t\xC3\xA9 \xC3\xA0 Paris.mp3"}));
  EXPECT_TRUE(fs::exists(In(outside_, "c.mp3"))) << "the original stays";

  dialogs_.AnswerMsgBoxWith(msgbox::kIdYes);
  Click("Delete");
  EXPECT_TRUE(Listed().empty());
  EXPECT_TRUE(Names(StagingPath()).empty());
}

TEST_F(Win32FlowTest, SendStartsTheClientAndTheWindowTellsHowTheSendEnded) {
  InstallStandInClient(root_);
  ReportForClients(root_,
                   "tunelift-send-report\t1\nserver\ttunelift.example.net\nencryption\tnone\n"
                   "identity\tnot-checked\nfile\tsong.mp3\t16\t16\tverified\t226\tOK\t\n"
                   "end\t0\n");
  ASSERT_TRUE(LoadAndShow());
  Pick("song.mp3");
  Click("Send");
  ASSERT_TRUE(PumpUntil([&] { return ClientRuns(root_).size() == 1; }));
  const Strings run = ClientRuns(root_)[0];
  ASSERT_EQ(run.size(), 2u);
  EXPECT_TRUE(fs::equivalent(run[0], root_));
  EXPECT_EQ(run[1], "-s:sendfiles.ftps");

  const auto& boxes = dialogs_.msgBoxCalls();
  ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); })) << "the end of the send was not told";
  EXPECT_EQ(boxes[0].prompt.substr(0, 16), "The music went\r\n");
  EXPECT_NE(boxes[0].prompt.find("1 MP3 file was sent to tunelift.example.net and verified."),
            std::string::npos)
      << boxes[0].prompt;
  EXPECT_EQ(Listed(), Strings{"song.mp3"}) << "what went stays staged until Finish";
}

TEST_F(Win32FlowTest, FinishWaitsForARunningClientThenDeletesEverythingAndCloses) {
  InstallStandInClient(root_);
  ReplayForClients(root_, 1, "ftp: Could not resolve host\n");
  ReportForClients(root_,
                   "tunelift-send-report\t1\nfailure\t0\t\tThe host cannot be found.\n"
                   "end\t1\n");
  ASSERT_TRUE(LoadAndShow());
  Pick("not yet sent.mp3");
  ClientHold hold(root_);
  Click("Send");
  ASSERT_TRUE(PumpUntil([&] { return ClientRuns(root_).size() == 1; }));

  Click("Finish");
  const auto& boxes = dialogs_.msgBoxCalls();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].prompt.starts_with("The music is still being sent")) << boxes[0].prompt;
  EXPECT_FALSE(WindowGone());
  EXPECT_TRUE(fs::exists(In(StagingPath(), "not yet sent.mp3")));

  hold.Release();
  ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 2; }));
  EXPECT_EQ(boxes[1].prompt.substr(0, 22), "The music did not go\r\n");
  EXPECT_EQ(boxes[1].style, msgbox::kIconExclamation);

  Click("Finish");
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_TRUE(WindowGone());
  EXPECT_FALSE(fs::exists(StagingPath()));
  EXPECT_FALSE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_FALSE(fs::exists(root_ / "sendfiles-1.log"));
  EXPECT_FALSE(fs::exists(root_ / "sendfiles-1.report"));
  EXPECT_TRUE(quitPosted_) << "the program's loop ends with its window";
}

TEST_F(Win32FlowTest, AStartThatCannotMakeTheStagingFolderSaysWhyAndShowsNoWindow) {
  WriteFile(StagingPath(), "a plain file where the folder belongs");
  EXPECT_FALSE(window_->Load());
  ASSERT_EQ(dialogs_.msgBoxCalls().size(), 1u);
  EXPECT_EQ(dialogs_.msgBoxCalls()[0].prompt.rfind("Could not prepare the staging folder.\r\n", 0),
            0u);
  EXPECT_FALSE(IsWindowVisible(window_->Handle()));
}

}  // namespace
}  // namespace tunelift::testing
