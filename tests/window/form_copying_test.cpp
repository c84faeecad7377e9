// Copying a chosen file while the window stays live, without a toolkit: the copy runs on its
// own thread for real, on real folders, and the test runs the copy timer's ticks as a window
// would. A copy that takes time is a large sparse file: it reads as zeros, but every byte of
// its copy is written to the disk.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "program_folder.h"
#include "replay_client.h"
#include "scripted_dialogs.h"
#include "scripted_view.h"
#include "window/form_handlers.h"

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

// Long enough that no copy here ends before a test has looked at it running.
constexpr std::uintmax_t kLongCopy = std::uintmax_t{2} << 30;
// Long enough that several ticks see the copy part way, short enough to copy whole.
constexpr std::uintmax_t kSlowCopy = std::uintmax_t{400} << 20;
// A delay that never comes in a test: the window stays without a progress dialog.
constexpr std::chrono::milliseconds kNeverDue = 1h;

constexpr std::string_view kStillCopying =
    "A song is still being copied. Try again when it is done.";

class FormCopyingTest : public ProgramFolderTest {
protected:
  void TearDown() override {
    handlers_.reset();  // stops a copy still running before its folder goes
    ProgramFolderTest::TearDown();
  }

  void Open(std::chrono::milliseconds progressDelay) {
    handlers_ = std::make_unique<FormHandlers>(*services_, view_, dialogs_,
                                               FormOptions{.progressDelay = progressDelay});
    ASSERT_TRUE(Click(&FormHandlers::Load));
  }
  bool Click(FormHandlers::Handler handler) { return handlers_->Run(handler); }
  const std::vector<MsgBoxCall>& Boxes() const { return dialogs_.msgBoxCalls(); }

  // A chosen file of `size` bytes, sparse.
  std::string Choose(const std::string& name, std::uintmax_t size) {
    const fs::path chosen = In(outside_, name);
    WriteFile(chosen, "");
    fs::resize_file(chosen, size);
    return Text(chosen);
  }
  void Pick(const std::string& chosen) {
    dialogs_.AnswerOpenWith(chosen);
    ASSERT_TRUE(Click(&FormHandlers::ChooseAndStageFile));
    ASSERT_TRUE(view_.copyTimerOn());
  }
  // Runs the copy timer's ticks until the copy has ended (60 s at most); what the last one,
  // which found it ended, returned.
  bool TickUntilTheCopyHasEnded() {
    bool finished = true;
    for (int i = 0; i < 12000 && view_.copyTimerOn(); ++i) {
      finished = Click(&FormHandlers::CopyTimerTick);
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(view_.copyTimerOn()) << "the copy did not end";
    return finished;
  }
  // Runs the copy timer's ticks until the progress dialog shows (60 s at most).
  void TickUntilTheProgressShows() {
    for (int i = 0; i < 12000 && dialogs_.progressDialogs().empty(); ++i) {
      Click(&FormHandlers::CopyTimerTick);
      std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(dialogs_.progressDialogs().size(), 1u) << "no progress dialog";
    ASSERT_TRUE(dialogs_.progressDialogs()[0].open);
  }
  // The names in the staging folder, hidden ones (a copy's scratch file) too.
  Strings InStagingFolder() const { return Names(StagingPath()); }

  ScriptedView view_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<FormHandlers> handlers_;
};

TEST_F(FormCopyingTest, ACopyThatEndsBeforeItsProgressIsDueShowsNoneAndListsTheSong) {
  Open(kNeverDue);
  WriteFile(outside_ / "song.mp3", "the tune");
  Pick(Text(outside_ / "song.mp3"));
  EXPECT_EQ(view_.busyDepth(), 1) << "the busy cursor is the sign of a copy at first";
  EXPECT_TRUE(TickUntilTheCopyHasEnded());
  EXPECT_TRUE(dialogs_.progressDialogs().empty());
  EXPECT_EQ(ReadFile(StagingPath() / "song.mp3"), "the tune");
  EXPECT_EQ(view_.Shown(), Strings{"song.mp3"});
  EXPECT_EQ(view_.busyDepth(), 0);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormCopyingTest, ACopyThatTakesLongerThanTheDelayShowsHowFarItHasComeUntilItEnds) {
  Open(0ms);
  Pick(Choose("long song.mp3", kSlowCopy));
  EXPECT_TRUE(TickUntilTheCopyHasEnded());

  ASSERT_EQ(dialogs_.progressDialogs().size(), 1u);
  const ProgressRecord& dialog = dialogs_.progressDialogs()[0];
  EXPECT_FALSE(dialog.open) << "the dialog goes with the copy";
  ASSERT_FALSE(dialog.texts.empty());
  bool seenPartWay = false;
  for (std::size_t i = 0; i < dialog.texts.size(); ++i) {
    const ProgressText& text = dialog.texts[i];
    EXPECT_EQ(text.title, "Tunelift");
    EXPECT_EQ(text.what, "Copying long song.mp3 into the staging folder\u2026");
    EXPECT_NE(text.amount.find(" of 419.4 MB copied"), std::string::npos) << text.amount;
    if (i > 0) {
      EXPECT_GE(text.barPosition, dialog.texts[i - 1].barPosition);
    }
    seenPartWay = seenPartWay || (text.barPosition > 0 && text.barPosition < kProgressBarRange);
  }
  EXPECT_TRUE(seenPartWay) << "the dialog follows the copy as it goes";
  EXPECT_EQ(fs::file_size(StagingPath() / "long song.mp3"), kSlowCopy);
  EXPECT_EQ(view_.Shown(), Strings{"long song.mp3"});
  EXPECT_EQ(view_.busyDepth(), 0);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormCopyingTest, TheBusyCursorGivesWayToTheProgressDialog) {
  Open(0ms);
  Pick(Choose("long.mp3", kLongCopy));
  EXPECT_EQ(view_.busyDepth(), 1);
  TickUntilTheProgressShows();
  EXPECT_EQ(view_.busyDepth(), 0) << "no busy cursor over the dialog's Cancel button";
}

TEST_F(FormCopyingTest, CancelStopsTheCopyAndLeavesTheFolderAndTheListAsTheyWere) {
  WriteFile(StagingPath() / "long.mp3", "the older copy");
  WriteFile(StagingPath() / "other.mp3", "music");
  Open(0ms);
  dialogs_.CancelNextProgress();
  Pick(Choose("long.mp3", kLongCopy));
  EXPECT_TRUE(TickUntilTheCopyHasEnded());

  ASSERT_EQ(dialogs_.progressDialogs().size(), 1u);
  EXPECT_FALSE(dialogs_.progressDialogs()[0].open);
  EXPECT_EQ(InStagingFolder(), (Strings{"long.mp3", "other.mp3"})) << "no part of the copy";
  EXPECT_EQ(ReadFile(StagingPath() / "long.mp3"), "the older copy");
  EXPECT_EQ(view_.Shown(), (Strings{"long.mp3", "other.mp3"}));
  EXPECT_TRUE(Boxes().empty()) << "what the user cancelled needs no word";
  // The window is free again.
  WriteFile(outside_ / "next.mp3", "next");
  Pick(Text(outside_ / "next.mp3"));
  EXPECT_TRUE(TickUntilTheCopyHasEnded());
  EXPECT_EQ(view_.Shown(), (Strings{"long.mp3", "next.mp3", "other.mp3"}));
}

TEST_F(FormCopyingTest, CancelPressedLaterStopsTheCopyAsWell) {
  Open(0ms);
  Pick(Choose("long.mp3", kLongCopy));
  TickUntilTheProgressShows();
  Click(&FormHandlers::CopyTimerTick);
  ASSERT_TRUE(dialogs_.CancelOpenProgress());
  EXPECT_TRUE(TickUntilTheCopyHasEnded());
  EXPECT_TRUE(InStagingFolder().empty());
  EXPECT_TRUE(view_.Shown().empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FormCopyingTest, EveryButtonIsRefusedWhileACopyRuns) {
  InstallStandInClient(root_);
  WriteFile(StagingPath() / "kept.mp3", "music");
  Open(kNeverDue);
  view_.StagedFiles().Select(0);
  Pick(Choose("long.mp3", kLongCopy));

  for (const ClickBinding& click : kClickBindings) {
    EXPECT_FALSE(Click(click.handler)) << RowOf(click.control).name;
  }
  ASSERT_EQ(Boxes().size(), kClickBindings.size());
  for (const MsgBoxCall& box : Boxes()) {
    EXPECT_EQ(box.prompt, kStillCopying);
    EXPECT_EQ(box.style, msgbox::kIconInformation);
  }
  EXPECT_EQ(dialogs_.openCalls().size(), 1u) << "no second open-file dialog";
  EXPECT_TRUE(fs::exists(StagingPath() / "kept.mp3")) << "nothing deleted";
  EXPECT_TRUE(ClientRuns(root_).empty()) << "no client started";
  EXPECT_TRUE(view_.sendingTooltip().empty());
  EXPECT_FALSE(view_.Unloaded()) << "not finished";
  EXPECT_TRUE(view_.copyTimerOn()) << "the copy goes on";
}

TEST_F(FormCopyingTest, ClosingTheWindowStopsTheCopyAndLeavesNoPartOfIt) {
  WriteFile(StagingPath() / "long.mp3", "the older copy");
  Open(0ms);
  Pick(Choose("long.mp3", kLongCopy));
  TickUntilTheProgressShows();

  EXPECT_TRUE(Click(&FormHandlers::WindowClosed));
  // Stopped and ended by the time the window has closed: nothing is left to clean up after.
  EXPECT_EQ(InStagingFolder(), Strings{"long.mp3"});
  EXPECT_EQ(ReadFile(StagingPath() / "long.mp3"), "the older copy");
  EXPECT_FALSE(dialogs_.progressDialogs()[0].open);
  EXPECT_FALSE(view_.copyTimerOn());
  EXPECT_EQ(view_.busyDepth(), 0);
  EXPECT_TRUE(Boxes().empty());
}

TEST(ProgressTextFor, SaysWhichFileAndHowMuchOfIt) {
  const ProgressText text =
      ProgressTextFor("song.mp3", {.copied = 12'345'678, .total = 300'000'000});
  EXPECT_EQ(text.title, "Tunelift");
  EXPECT_EQ(text.what, "Copying song.mp3 into the staging folder\u2026");
  EXPECT_EQ(text.amount, "12.3 MB of 300.0 MB copied");
  EXPECT_EQ(text.barPosition, 41);
}

TEST(ProgressTextFor, TellsOnlyWhatIsCopiedOfAFileThatListsNoSize) {
  EXPECT_EQ(ProgressTextFor("version", {.copied = 1'500'000, .total = 0}).amount, "1.5 MB copied");
}

TEST(ProgressTextFor, KeepsTheBarWithinItsRange) {
  EXPECT_EQ(ProgressTextFor("a.mp3", {.copied = 0, .total = 0}).barPosition, 0);
  EXPECT_EQ(ProgressTextFor("a.mp3", {.copied = 7, .total = 5}).barPosition, kProgressBarRange);
  EXPECT_EQ(ProgressTextFor("a.mp3", {.copied = 5, .total = 5}).barPosition, kProgressBarRange);
}

}  // namespace
}  // namespace tunelift::testing
