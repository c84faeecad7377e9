// The real window while a send runs, under Wine: the notification icon's menu (shown as the
// shell asks for it, its items chosen with the keyboard), the transcript opened through the
// shell's association for its kind, the taskbar's progress, and the window closed during a
// send through its close box and Alt+F4. The client is the stand-in (replay_client.h); the
// tests' Wine has no notification area, so every notice comes as a (scripted) message box.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/services.h"
#include "text/utf8_path.h"
#include "text/wide_text_win32.h"
#include "replay_client.h"
#include "window/win32/sending_menu.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

using namespace std::chrono_literals;

// Presses keys in the popup menu that this thread's window shows, from a thread of its own
// (the menu's loop holds the window's thread): down `downs` times, then Enter.
class MenuKeys {
public:
  explicit MenuKeys(int downs)
      : thread_([this, downs] {
          for (int i = 0; i < 1500 && !stop_; ++i) {
            const HWND menu = FindWindowW(L"#32768", nullptr);
            if (menu != nullptr && IsWindowVisible(menu)) {
              for (int down = 0; down < downs; ++down) {
                PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
              }
              PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 1);
              pressed_ = true;
              return;
            }
            std::this_thread::sleep_for(20ms);
          }
        }) {}
  ~MenuKeys() {
    stop_ = true;
    thread_.join();
  }
  bool pressed() const { return pressed_; }

private:
  std::atomic<bool> stop_ = false;
  std::atomic<bool> pressed_ = false;
  std::thread thread_;
};

class Win32SendingTest : public Win32WindowTest {
protected:
  void SetUp() override {
    Win32WindowTest::SetUp();
    InstallStandInClient(root_);
    WriteFile(In(StagingPath(), "a.mp3"), "music");
    WriteFile(In(StagingPath(), "b.mp3"), "music");
    ASSERT_TRUE(LoadAndShow());
  }

  // Right-click on the icon, as the notification area tells it (NOTIFYICON_VERSION_4), with
  // the menu's item chosen by `downs` presses of the down arrow and Enter.
  void ChooseFromIconMenu(int downs) {
    MenuKeys keys(downs);
    SendMessageW(window_->Handle(), kNotificationIconMessage, MAKEWPARAM(200, 200),
                 MAKELPARAM(WM_CONTEXTMENU, 1));
    EXPECT_TRUE(keys.pressed()) << "no menu showed";
    Pump();
  }

  void SendAndAwaitTheFirstReport() {
    ReportsForClients(root_, kSlowTwoFileSend, std::chrono::minutes(1));
    Click("Send");
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(root_ / "sendfiles-1.report"); }));
  }

  // The close box's close, as the system menu and the caption's button send it.
  void CloseBox() {
    PostMessageW(window_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
  }

  const std::vector<MsgBoxCall>& Boxes() const { return dialogs_.msgBoxCalls(); }
};

TEST_F(Win32SendingTest, TheIconsMenuHoldsStopSendingAndShowTheTranscript) {
  const UniqueMenu menu = MakeSendingMenu();
  ASSERT_EQ(GetMenuItemCount(menu.get()), 2);
  const struct {
    UINT id;
    const char* text;
  } expected[] = {{kSendingMenuFirstId, "Stop sending"},
                  {kSendingMenuFirstId + 1, "Show the transcript"}};
  for (int i = 0; i < 2; ++i) {
    wchar_t text[64] = {};
    ASSERT_GT(GetMenuStringW(menu.get(), static_cast<UINT>(i), text, 64, MF_BYPOSITION), 0);
    EXPECT_EQ(Utf8FromWide(text), expected[i].text);
    EXPECT_EQ(GetMenuItemID(menu.get(), i), expected[i].id);
  }
}

TEST_F(Win32SendingTest, StopSendingFromTheIconsMenuEndsTheSendAndTellsWhatWent) {
  SendAndAwaitTheFirstReport();
  ChooseFromIconMenu(1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_TRUE(Boxes()[0].prompt.starts_with(
      "The send was stopped\r\n1 MP3 file was sent to tunelift.example.net and verified.\r\n"
      "The send was stopped before it ended.\r\n"))
      << Boxes()[0].prompt;
  EXPECT_FALSE(WindowGone());
  // Finish! finds no send running any more.
  Click("Finish");
  EXPECT_TRUE(WindowGone());
}

TEST_F(Win32SendingTest, TheTaskbarTakesTheProgressAndAFailureShowsUntilTheWindowIsActivated) {
  ReportsForClients(root_,
                    {kSlowTwoFileSend[0],
                     kPlainReportStart + "file\ta.mp3\t100\t100\tverified\t226\tOK\t\n"
                                         "file\tb.mp3\t300\t150\tfailed\t550\tNo.\t\nend\t1\n"},
                    300ms);
  Click("Send");
  ASSERT_TRUE(PumpUntil([&] { return !Boxes().empty(); }));
  // Every call the taskbar was asked succeeded: a refusal would have been told in a box.
  ASSERT_EQ(Boxes().size(), 1u) << Boxes().back().prompt;
  EXPECT_TRUE(Boxes()[0].prompt.starts_with("Not all the music went\r\n")) << Boxes()[0].prompt;
  ASSERT_NE(window_->Taskbar(), nullptr);
  EXPECT_TRUE(window_->Taskbar()->ShowsFailure());
  SendMessageW(window_->Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageW(window_->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_FALSE(window_->Taskbar()->ShowsFailure());
  EXPECT_EQ(Boxes().size(), 1u);
}

class Win32TranscriptTest : public Win32SendingTest {
protected:
  void SetUp() override {
    Win32SendingTest::SetUp();
    // The test's own viewer for ".log" files. Wine's shell reads the associations of the
    // machine's classes only; on Windows, writing these creates the user's own.
    viewer_ = outside_ / "viewer.exe";
    fs::copy_file(PathFromUtf8(MakeNativeServices()->ProgramFolder()) / VIEWER_STAND_IN_NAME,
                  viewer_);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L".log", nullptr, REG_SZ, kProgId, sizeof kProgId),
              ERROR_SUCCESS);
    const std::wstring command = L"\"" + viewer_.wstring() + L"\" \"%1\"";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, kOpenCommand, nullptr, REG_SZ, command.c_str(),
                              static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".log");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    Win32SendingTest::TearDown();
  }

  static constexpr wchar_t kProgId[] = L"TuneliftTest.Transcript";
  static constexpr wchar_t kOpenCommand[] = L"TuneliftTest.Transcript\\shell\\open\\command";
  fs::path viewer_;
};

TEST_F(Win32TranscriptTest, ShowTheTranscriptFromTheIconsMenuOpensItInItsViewer) {
  SendAndAwaitTheFirstReport();
  ChooseFromIconMenu(2);
  fs::path opened = viewer_;
  opened += ".opened";
  ASSERT_TRUE(Boxes().empty()) << Boxes().front().prompt;
  ASSERT_TRUE(PumpUntil([&] { return fs::exists(opened); })) << "the viewer never started";
  EXPECT_TRUE(fs::equivalent(PathFromUtf8(ReadFile(opened)), root_ / "sendfiles-1.log"))
      << ReadFile(opened);
  ChooseFromIconMenu(1);  // Stop sending: the client would wait a minute for its last report
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(Win32SendingTest, ATranscriptNoViewerOpensIsReportedWithTheShellsReason) {
  const fs::path unknown = root_ / "transcript.tunelift-unknown";
  WriteFile(unknown, "words");
  try {
    window_->OpenInViewer(Text(unknown));
    FAIL() << "a file of no known kind was opened";
  } catch (const Error& error) {
    EXPECT_NE(error.description().find("transcript.tunelift-unknown"), std::string::npos)
        << error.description();
  }
}

TEST_F(Win32SendingTest, TheCloseBoxAndAltF4CloseAWindowWithNoSendRunning) {
  CloseBox();
  EXPECT_TRUE(WindowGone());
  EXPECT_TRUE(quitPosted_);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Win32SendingTest, AltF4ClosesAWindowWithNoSendRunning) {
  const HWND focus = GetFocus();
  ASSERT_NE(focus, nullptr);
  PostMessageW(focus, WM_SYSKEYDOWN, VK_F4, 1 | (LPARAM{KF_ALTDOWN} << 16));
  Pump();
  EXPECT_TRUE(WindowGone());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Win32SendingTest, ClosingDuringASendAndKeepingItHidesTheWindowUntilTheSendEnds) {
  ReportForClients(root_, kSlowTwoFileSend.back());
  auto hold = std::make_unique<ClientHold>(root_);
  Click("Send");
  ASSERT_TRUE(PumpUntil([&] { return ClientRuns(root_).size() == 1; }));
  dialogs_.AnswerMsgBoxWith(msgbox::kIdYes);
  CloseBox();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt,
            "The music is still being sent. Keep sending after the window closes?");
  EXPECT_EQ(Boxes()[0].style, msgbox::kYesNo | msgbox::kIconQuestion);
  EXPECT_FALSE(WindowGone());
  EXPECT_FALSE(IsWindowVisible(window_->Handle()));
  EXPECT_FALSE(quitPosted_);

  hold.reset();
  ASSERT_TRUE(PumpUntil([&] { return WindowGone(); }));
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_TRUE(Boxes()[1].prompt.starts_with("The music went\r\n")) << Boxes()[1].prompt;
  EXPECT_TRUE(quitPosted_);
  EXPECT_TRUE(fs::exists(In(StagingPath(), "a.mp3"))) << "closing keeps the staged files";
}

TEST_F(Win32SendingTest, AltF4DuringASendAndStoppingItTellsWhatWentThenCloses) {
  SendAndAwaitTheFirstReport();
  dialogs_.AnswerMsgBoxWith(msgbox::kIdNo);
  PostMessageW(GetFocus(), WM_SYSKEYDOWN, VK_F4, 1 | (LPARAM{KF_ALTDOWN} << 16));
  Pump();
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_TRUE(Boxes()[1].prompt.starts_with("The send was stopped\r\n1 MP3 file was sent"))
      << Boxes()[1].prompt;
  EXPECT_TRUE(WindowGone());
  EXPECT_TRUE(quitPosted_);
}

}  // namespace
}  // namespace tunelift::testing
