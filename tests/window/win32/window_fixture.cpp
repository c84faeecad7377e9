#include "window_fixture.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <thread>

#include "text/wide_text_win32.h"
#include "window/layout.h"
#include "window/win32/control_layout.h"
#include "window/win32/progress_window.h"

namespace tunelift::testing {

std::unique_ptr<ProgressDialog> WindowDialogs::ShowProgress(const ProgressText& text) {
  return ShowWin32Progress(text, owner_);
}

void Win32WindowTest::SetUp() {
  ProgramFolderTest::SetUp();
  UseFormOptions({});
}

void Win32WindowTest::UseFormOptions(FormOptions options) {
  window_.reset();
  Pump();
  window_ = std::make_unique<Win32Window>(*services_, dialogs_, ScreenDpi(), options);
  dialogs_.SetOwner(window_->Handle());
}

void Win32WindowTest::TearDown() {
  window_.reset();
  Pump();  // the window's last messages, and the end of its loop
  ProgramFolderTest::TearDown();
}

bool Win32WindowTest::LoadAndShow() {
  if (!window_->Load()) {
    return false;
  }
  window_->Show(SW_SHOWNORMAL);
  Pump();
  return true;
}

void Win32WindowTest::Pump() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quitPosted_ = true;  // the program's loop would end here; the test goes on
      continue;
    }
    if (window_) {
      DeliverMessage(*window_, message);
    } else {
      DispatchMessageW(&message);
    }
  }
}

bool Win32WindowTest::PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    Pump();
  }
  return true;
}

void Win32WindowTest::Click(std::string_view name) {
  Press(name);
  ASSERT_TRUE(PumpUntil([this] { return !window_->Copying(); })) << "a copy did not end";
}

void Win32WindowTest::Press(std::string_view name) {
  SendMessageW(Control(name), BM_CLICK, 0, 0);
  Pump();
}

HWND Win32WindowTest::ProgressShown() const {
  const HWND progress = FindWindowExW(nullptr, nullptr, kProgressClassName, nullptr);
  return progress != nullptr && IsWindowVisible(progress) ? progress : nullptr;
}

void Win32WindowTest::Key(WPARAM key) {
  const HWND focus = GetFocus();
  const UINT scanCode = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
  const LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
  PostMessageW(focus, WM_KEYDOWN, key, down);
  PostMessageW(focus, WM_KEYUP, key, up);
  Pump();
}

HWND Win32WindowTest::Control(std::string_view name) const {
  const auto* row = std::ranges::find(kControls, name, &ControlSpec::name);
  if (row == kControls.end()) {
    throw std::invalid_argument("The layout table has no control named " + std::string(name));
  }
  return window_->Control(row->control);
}

std::string Win32WindowTest::FocusedName() const {
  const HWND focus = GetFocus();
  const ControlSpec* control = focus != nullptr ? ControlWithId(GetDlgCtrlID(focus)) : nullptr;
  return control != nullptr && window_->Control(control->control) == focus
             ? std::string(control->name)
             : std::string();
}

std::vector<std::string> Win32WindowTest::Listed() const {
  const HWND list = Control("File1");
  const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  std::vector<std::string> shown;
  for (int i = 0; i < count; ++i) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)), L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    shown.push_back(Utf8FromWide(text));
  }
  return shown;
}

void Win32WindowTest::SelectEntry(const std::string& shown) {
  const std::vector<std::string> listed = Listed();
  const auto at = std::find(listed.begin(), listed.end(), shown);
  ASSERT_NE(at, listed.end()) << shown << " is not listed";
  SendMessageW(Control("File1"), LB_SETCURSEL, static_cast<WPARAM>(at - listed.begin()), 0);
}

std::string TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return Utf8FromWide(text);
}

std::wstring ClassOf(HWND window) {
  std::array<wchar_t, 256> name{};  // 256: the longest class name there is
  GetClassNameW(window, name.data(), static_cast<int>(name.size()));
  return name.data();
}

}  // namespace tunelift::testing
