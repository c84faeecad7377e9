// A chosen file copied while the window stays live, on the real window and its own progress
// dialog: the copy runs on its own thread for real. A copy that takes time is a large sparse
// file: it reads as zeros, but every byte of its copy is written.

#include "window_fixture.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

// Long enough that no copy here ends before a test has looked at it running.
constexpr std::uintmax_t kLongCopy = std::uintmax_t{2} << 30;
// Long enough that the window sees the copy part way, short enough to copy whole.
constexpr std::uintmax_t kSlowCopy = std::uintmax_t{400} << 20;
// Shorter than the program's, as a slow disk would make any copy seem.
constexpr FormOptions kProgressAtOnce{.progressDelay = 20ms};
// A delay that never comes in a test: the window stays without a progress dialog.
constexpr FormOptions kProgressNever{.progressDelay = 1h};

// The progress dialog's controls, as its window makes them.
constexpr int kWhatId = 100;
constexpr int kBarId = 101;
constexpr int kAmountId = 102;

class Win32CopyingTest : public Win32WindowTest {
protected:
  // Opens the window with `options`, `staged` (names and contents) left in its staging folder.
  void Open(FormOptions options,
            const std::vector<std::pair<std::string, std::string>>& staged = {}) {
    UseFormOptions(options);
    for (const auto& [name, content] : staged) {
      WriteFile(In(StagingPath(), name), content);
    }
    ASSERT_TRUE(LoadAndShow());
  }
  // Picks a sparse file of `size` bytes and returns at once, the copy started.
  void PickSparse(const std::string& name, std::uintmax_t size) {
    const fs::path chosen = In(outside_, name);
    WriteFile(chosen, "");
    fs::resize_file(chosen, size);
    dialogs_.AnswerOpenWith(Text(chosen));
    Press("Browse");
    ASSERT_TRUE(window_->Copying());
  }
  static int BarPosition(HWND progress) {
    return static_cast<int>(SendMessageW(GetDlgItem(progress, kBarId), PBM_GETPOS, 0, 0));
  }
};

TEST_F(Win32CopyingTest, ALongCopyShowsItsProgressOverTheDisabledWindowUntilItEnds) {
  Open(kProgressAtOnce);
  PickSparse("long song.mp3", kSlowCopy);
  ASSERT_TRUE(PumpUntil([this] { return ProgressShown() != nullptr; }));
  const HWND progress = ProgressShown();
  EXPECT_EQ(GetWindow(progress, GW_OWNER), window_->Handle());
  EXPECT_FALSE(IsWindowEnabled(window_->Handle())) << "modal to the window";
  EXPECT_EQ(TextOf(progress), "Tunelift");
  EXPECT_EQ(TextOf(GetDlgItem(progress, kWhatId)),
            "Copying long song.mp3 into the staging folder\u2026");
  EXPECT_EQ(TextOf(GetDlgItem(progress, IDCANCEL)), "Cancel");
  // The focus arrives by a message of its own, which a busy machine may not have handled yet.
  EXPECT_TRUE(PumpUntil([progress] { return GetFocus() == GetDlgItem(progress, IDCANCEL); }));

  std::vector<int> positions;
  std::string amount;
  ASSERT_TRUE(PumpUntil([&] {
    if (IsWindow(progress)) {
      positions.push_back(BarPosition(progress));
      amount = TextOf(GetDlgItem(progress, kAmountId));
    }
    return !window_->Copying();
  }));
  EXPECT_NE(amount.find(" of 419.4 MB copied"), std::string::npos) << amount;
  EXPECT_TRUE(std::ranges::any_of(positions, [](int at) { return at > 0 && at < 1000; }))
      << "the bar moves as the copy goes";
  EXPECT_TRUE(std::ranges::is_sorted(positions));
  EXPECT_EQ(ProgressShown(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(window_->Handle()));
  EXPECT_EQ(fs::file_size(StagingPath() / "long song.mp3"), kSlowCopy);
  EXPECT_EQ(Listed(), Strings{"long song.mp3"});
  EXPECT_TRUE(dialogs_.msgBoxCalls().empty());
}

TEST_F(Win32CopyingTest, CancelStopsTheCopyAndLeavesTheFolderAndTheListAsTheyWere) {
  Open(kProgressAtOnce, {{"long.mp3", "the older copy"}, {"other.mp3", "music"}});
  PickSparse("long.mp3", kLongCopy);
  ASSERT_TRUE(PumpUntil([this] { return ProgressShown() != nullptr; }));
  SendMessageW(GetDlgItem(ProgressShown(), IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([this] { return !window_->Copying(); }));

  EXPECT_EQ(ProgressShown(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(window_->Handle()));
  EXPECT_EQ(Names(StagingPath()), (Strings{"long.mp3", "other.mp3"})) << "no part of the copy";
  EXPECT_EQ(ReadFile(StagingPath() / "long.mp3"), "the older copy");
  EXPECT_EQ(Listed(), (Strings{"long.mp3", "other.mp3"}));
  EXPECT_TRUE(dialogs_.msgBoxCalls().empty());
}

TEST_F(Win32CopyingTest, EscapeOnTheProgressDialogCancelsAsWell) {
  Open(kProgressAtOnce);
  PickSparse("long.mp3", kLongCopy);
  ASSERT_TRUE(PumpUntil([this] { return ProgressShown() != nullptr; }));
  Key(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([this] { return !window_->Copying(); }));
  EXPECT_TRUE(Names(StagingPath()).empty());
  EXPECT_TRUE(dialogs_.msgBoxCalls().empty());
}

TEST_F(Win32CopyingTest, EveryButtonIsRefusedWhileACopyRuns) {
  Open(kProgressNever, {{"kept.mp3", "music"}});
  SelectEntry("kept.mp3");
  PickSparse("long.mp3", kLongCopy);
  for (const char* button : {"Browse", "cmdDelete", "Delete", "Send", "Finish"}) {
    Press(button);
  }
  const auto& boxes = dialogs_.msgBoxCalls();
  ASSERT_EQ(boxes.size(), 5u);
  for (const MsgBoxCall& box : boxes) {
    EXPECT_EQ(box.prompt, "A song is still being copied. Try again when it is done.");
    EXPECT_EQ(box.style, msgbox::kIconInformation);
  }
  EXPECT_EQ(dialogs_.openCalls().size(), 1u);
  EXPECT_TRUE(fs::exists(StagingPath() / "kept.mp3"));
  EXPECT_FALSE(WindowGone());
  EXPECT_TRUE(window_->Copying());
}

TEST_F(Win32CopyingTest, ClosingTheWindowDuringACopyStopsItAndLeavesNoPartOfIt) {
  Open(kProgressNever, {{"long.mp3", "the older copy"}});
  PickSparse("long.mp3", kLongCopy);
  SendMessageW(window_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(WindowGone());
  // Stopped and ended by the time the window has gone: nothing is left behind.
  EXPECT_EQ(Names(StagingPath()), Strings{"long.mp3"});
  EXPECT_EQ(ReadFile(StagingPath() / "long.mp3"), "the older copy");
  EXPECT_TRUE(dialogs_.msgBoxCalls().empty());
}

TEST_F(Win32CopyingTest, ACopyThatFailsIsToldInOneBoxAsBefore) {
  Open(kProgressNever);
  dialogs_.AnswerOpenWith(Text(outside_ / "gone.mp3"));
  Click("Browse");
  const auto& boxes = dialogs_.msgBoxCalls();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt.rfind("Could not stage the file.\r\n", 0), 0u) << boxes[0].prompt;
  EXPECT_NE(boxes[0].prompt.find("gone.mp3"), std::string::npos) << boxes[0].prompt;
  EXPECT_EQ(boxes[0].style, msgbox::kIconExclamation);
  EXPECT_TRUE(Names(StagingPath()).empty());
  EXPECT_FALSE(WindowGone());
}

}  // namespace
}  // namespace tunelift::testing
