// The platform's own dialogs, shown for real and answered from a second thread as a user
// would: the open-file dialog (its title, its first folder, a path typed into it, Cancel) and
// the message boxes (buttons, titles, their place over the window).

#include "window/win32/win32_dialogs.h"

#include <gtest/gtest.h>

#include <commdlg.h>
#include <dlgs.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "text/wide_text_win32.h"
#include "window/win32/win32_window.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

// The dialog that `thread` shows now; nullptr when it shows none.
HWND DialogOf(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM result) -> BOOL {
        if (IsWindowVisible(window) && ClassOf(window) == L"#32770") {
          *reinterpret_cast<HWND*>(result) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The dialog that `thread` shows, once it shows one with its buttons made (10 s at most).
HWND AwaitDialogOf(DWORD thread) {
  for (int i = 0; i < 500; ++i) {
    const HWND found = DialogOf(thread);
    if (found != nullptr && FindWindowExW(found, nullptr, L"Button", nullptr) != nullptr) {
      return found;
    }
    Sleep(20);
  }
  return nullptr;
}

// The texts of the dialog's labels, one after another.
std::string LabelTexts(HWND dialog) {
  std::string texts;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == L"Static") {
      texts += TextOf(child);
    }
  }
  return texts;
}

// The edit field at or under `control`; nullptr where there is none.
HWND EditWithin(HWND control) {
  if (ClassOf(control) == L"Edit") {
    return control;
  }
  for (HWND child = GetWindow(control, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (const HWND edit = EditWithin(child)) {
      return edit;
    }
  }
  return nullptr;
}

// The edit field the file's name is typed into: in the file name box (a combo box), or the
// plain field of older dialogs.
HWND FileNameField(HWND dialog) {
  const HWND box = GetDlgItem(dialog, cmb13);
  return box != nullptr ? EditWithin(box) : GetDlgItem(dialog, edt1);
}

POINT Centre(HWND window) {
  RECT place{};
  GetWindowRect(window, &place);
  return {(place.left + place.right) / 2, (place.top + place.bottom) / 2};
}

// What the user saw of a dialog, read while it showed.
struct Seen {
  bool shown = false;
  std::string title;
  std::string labels;
  std::wstring folder;
  bool hasYes = false;
  bool hasNo = false;
  bool hasOk = false;
  POINT centre{};
  std::string leftOpen;  // the dialogs that stayed up after the answer
};

class Win32DialogsTest : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    window_ = std::make_unique<Win32Window>(*services_, dialogs_);
    dialogs_.SetOwner(window_->Handle());
    ASSERT_TRUE(window_->Load());
    window_->Show(SW_SHOWNORMAL);
  }
  void TearDown() override {
    if (user_.joinable()) {
      user_.join();
    }
    window_.reset();
    // The window's end posts WM_QUIT, which would end the next test's dialogs at once.
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    ProgramFolderTest::TearDown();
  }

  // On a thread of its own, as a user would: waits for this thread's dialog, notes what it
  // shows, then does `answer` with it.
  void AnswerNextDialog(std::function<void(HWND)> answer) {
    const DWORD thread = GetCurrentThreadId();
    user_ = std::thread([this, thread, answer = std::move(answer)] {
      const HWND dialog = AwaitDialogOf(thread);
      if (dialog == nullptr) {
        return;
      }
      seen_.shown = true;
      seen_.title = TextOf(dialog);
      seen_.labels = LabelTexts(dialog);
      seen_.hasYes = GetDlgItem(dialog, IDYES) != nullptr;
      seen_.hasNo = GetDlgItem(dialog, IDNO) != nullptr;
      seen_.hasOk = GetDlgItem(dialog, IDOK) != nullptr;
      seen_.centre = Centre(dialog);
      std::array<wchar_t, MAX_PATH> folder{};
      if (SendMessageW(dialog, CDM_GETFOLDERPATH, folder.size(),
                       reinterpret_cast<LPARAM>(folder.data())) > 0) {
        seen_.folder = folder.data();
      }
      answer(dialog);
      // A dialog still up (a complaint about the answer, say) would hold the test forever:
      // it is noted, and closed.
      for (int i = 0; i < 100 && DialogOf(thread) != nullptr; ++i) {
        Sleep(50);
      }
      while (const HWND left = DialogOf(thread)) {
        seen_.leftOpen += TextOf(left) + ": " + LabelTexts(left) + "; ";
        Press(left, IDCANCEL);
        Press(left, IDOK);
        Sleep(200);
      }
    });
  }
  void AwaitUser() { user_.join(); }
  // Delivers the window's messages until a copy the dialog's answer started has ended (30 s at
  // most); false when it still runs.
  bool AwaitCopy() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    MSG message{};
    while (window_->Copying() && std::chrono::steady_clock::now() < deadline) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DeliverMessage(*window_, message);
      }
    }
    return !window_->Copying();
  }

  static void Press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
  }

  Win32Dialogs dialogs_;
  std::unique_ptr<Win32Window> window_;
  std::thread user_;
  Seen seen_;
};

TEST_F(Win32DialogsTest, APathTypedIntoTheRealOpenFileDialogIsStaged) {
  const fs::path song = In(outside_, "typed in.mp3");
  WriteFile(song, "typed music");
  AnswerNextDialog([&](HWND dialog) {
    const HWND field = FileNameField(dialog);
    for (wchar_t typed : WideFromUtf8(Text(song))) {
      SendMessageW(field, WM_CHAR, typed, 1);
    }
    Press(dialog, IDOK);
  });
  SendMessageW(window_->Control(FormControl::BrowseButton), BM_CLICK, 0, 0);
  AwaitUser();
  ASSERT_TRUE(AwaitCopy());

  ASSERT_TRUE(seen_.shown);
  EXPECT_EQ(seen_.leftOpen, "");
  EXPECT_EQ(seen_.title, "Open File");
  EXPECT_TRUE(fs::equivalent(fs::path(seen_.folder), root_)) << "opens in the program folder";
  EXPECT_EQ(ReadFile(In(StagingPath(), "typed in.mp3")), "typed music");
  EXPECT_EQ(window_->StagedFiles().List(0), "typed in.mp3");
}

TEST_F(Win32DialogsTest, CancelInTheRealOpenFileDialogIsErrorNumber32755OrNothing) {
  OpenFileSettings settings{.initDir = Text(root_),
                            .filter = "MP3 Files (*.MP3)|*.mp3|All Files (*.*)|*.*",
                            .dialogTitle = "Open File",
                            .flags = 0x00281004,
                            .cancelError = true};
  AnswerNextDialog([](HWND dialog) { Press(dialog, IDCANCEL); });
  try {
    dialogs_.ShowOpen(settings);
    ADD_FAILURE() << "a cancelled dialog returned";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), kCancelErrorNumber);
  }
  AwaitUser();
  ASSERT_TRUE(seen_.shown);

  settings.cancelError = false;
  AnswerNextDialog([](HWND dialog) { Press(dialog, IDCANCEL); });
  EXPECT_EQ(dialogs_.ShowOpen(settings), "");
}

TEST_F(Win32DialogsTest, AQuestionBoxHasYesAndNoTheApplicationsTitleAndSitsOverTheWindow) {
  AnswerNextDialog([](HWND box) { Press(box, IDNO); });
  EXPECT_EQ(dialogs_.MsgBox("Delete every staged file?", 36), msgbox::kIdNo);
  AwaitUser();
  ASSERT_TRUE(seen_.shown);
  EXPECT_EQ(seen_.title, "Tunelift");
  EXPECT_NE(seen_.labels.find("Delete every staged file?"), std::string::npos);
  EXPECT_TRUE(seen_.hasYes && seen_.hasNo);
  const POINT window = Centre(window_->Handle());
  EXPECT_LE(std::abs(seen_.centre.x - window.x), 2);
  EXPECT_LE(std::abs(seen_.centre.y - window.y), 2);
}

TEST_F(Win32DialogsTest, AWarningBoxShowsItsOwnTitleAndOneOkButton) {
  AnswerNextDialog([](HWND box) { Press(box, IDOK); });
  EXPECT_EQ(dialogs_.MsgBox("C:\\x\\temp does not exist or has already been deleted!", 48,
                            "Folder not Found"),
            msgbox::kIdOk);
  AwaitUser();
  EXPECT_EQ(seen_.title, "Folder not Found");
  EXPECT_TRUE(seen_.hasOk);
  EXPECT_FALSE(seen_.hasYes || seen_.hasNo);
}

}  // namespace
}  // namespace tunelift::testing
