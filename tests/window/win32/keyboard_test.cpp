// The keyboard on the real window, through the dialog manager: the first focus, the tab
// order, Space pressing the focused button, and Enter and Escape pressing nothing, from a
// start with files left staged by an earlier run.

#include <gtest/gtest.h>

#include "window/layout.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

class Win32KeyboardTest : public Win32WindowTest {
protected:
  void SetUp() override {
    Win32WindowTest::SetUp();
    for (const char* name : {"left over.mp3", "another.mp3"}) {
      WriteFile(In(StagingPath(), name), "music");
    }
    ASSERT_TRUE(LoadAndShow());
  }

  // Nothing was asked, nothing deleted, and the window is still there.
  void ExpectNothingPressed(const std::string& where) {
    EXPECT_TRUE(dialogs_.openCalls().empty()) << where;
    EXPECT_TRUE(dialogs_.msgBoxCalls().empty()) << where;
    EXPECT_FALSE(WindowGone()) << where;
    EXPECT_EQ(Names(StagingPath()), (std::vector<std::string>{"another.mp3", "left over.mp3"}))
        << where;
  }
};

TEST_F(Win32KeyboardTest, TheFocusStartsOnBrowseAndTabFollowsTheTabIndexRoundAndRound) {
  EXPECT_EQ(FocusedName(), "Browse");
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 1; i <= kFocusOrder.size(); ++i) {
      Key(VK_TAB);
      EXPECT_EQ(FocusedName(), RowOf(kFocusOrder[i % kFocusOrder.size()]).name)
          << "Tab number " << i;
    }
  }
  ExpectNothingPressed("after Tab");
}

TEST_F(Win32KeyboardTest, EnterAndEscapePressNothingWhereverTheFocusIs) {
  for (std::size_t i = 0; i < kFocusOrder.size(); ++i) {
    const std::string focused = FocusedName();
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    ExpectNothingPressed("Enter and Escape on " + focused);
    if (focused != "File1") {
      const HWND button = Control(focused);
      EXPECT_EQ(SendMessageW(button, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, 0)
          << focused << " became the default button";
    }
    Key(VK_TAB);
  }
}

TEST_F(Win32KeyboardTest, SpacePressesTheFocusedButton) {
  Key(VK_SPACE);
  EXPECT_EQ(dialogs_.openCalls().size(), 1u) << "Space on Browse opens the open-file dialog";

  Key(VK_TAB);  // Send
  Key(VK_TAB);  // the staged list
  Key(VK_TAB);  // Delete
  ASSERT_EQ(FocusedName(), "Delete");
  Key(VK_SPACE);
  EXPECT_TRUE(Names(StagingPath()).empty()) << "Space on Delete All deletes every staged file";
  EXPECT_TRUE(Listed().empty());
}

TEST_F(Win32KeyboardTest, TheFocusComesBackToItsControlWhenTheWindowIsActivatedAgain) {
  Key(VK_TAB);
  Key(VK_TAB);
  ASSERT_EQ(FocusedName(), "File1");
  const HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW, 0, 0,
                                     100, 100, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(other, SW_SHOW);
  SetActiveWindow(other);
  Pump();
  EXPECT_EQ(FocusedName(), "");
  SetActiveWindow(window_->Handle());
  Pump();
  EXPECT_EQ(FocusedName(), "File1");
  DestroyWindow(other);
}

}  // namespace
}  // namespace tunelift::testing
