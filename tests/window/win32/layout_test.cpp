// The window as the system sees it: each control's class, place, size, text and styles read
// back through Win32 and held against figures written out here, at the usual 96 DPI and at
// larger ones; the font, and that every label shows its whole text in it.

#include <gtest/gtest.h>

#include <array>
#include <cwchar>

#include "text/wide_text_win32.h"
#include "window/layout.h"
#include "window/win32/control_layout.h"
#include "window/win32/program_icon.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

struct Expected {
  const char* name;
  const wchar_t* windowClass;
  RECT place;  // left, top, right, bottom in client pixels at 96 DPI
};

// Twips divided by 15.
constexpr std::array kAt96Dpi{
    Expected{"Browse", L"Button", {136, 40, 289, 73}},
    Expected{"Send", L"Button", {216, 256, 329, 289}},
    Expected{"File1", L"ListBox", {16, 96, 393, 167}},
    Expected{"Delete", L"Button", {104, 176, 193, 201}},
    Expected{"Finish", L"Button", {80, 256, 193, 289}},
    Expected{"cmdDelete", L"Button", {216, 176, 313, 201}},
    Expected{"Label3", L"Static", {16, 8, 393, 41}},
    Expected{"Label2", L"Static", {16, 216, 393, 249}},
    Expected{"Label1", L"Static", {16, 80, 145, 97}},
    Expected{"Label4", L"Static", {448, 56, 561, 129}},
};

RECT ClientRectOf(HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

void ExpectPlace(const RECT& actual, const RECT& expected, const char* name) {
  EXPECT_EQ(actual.left, expected.left) << name;
  EXPECT_EQ(actual.top, expected.top) << name;
  EXPECT_EQ(actual.right, expected.right) << name;
  EXPECT_EQ(actual.bottom, expected.bottom) << name;
}

// The colour of the middle pixel of `icon`'s image, as 0xRRGGBB.
COLORREF MiddleColour(HICON icon) {
  ICONINFO info{};
  EXPECT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HGDIOBJ before = SelectObject(memory, info.hbmColor);
  const COLORREF pixel = GetPixel(memory, bitmap.bmWidth / 2, bitmap.bmHeight / 2);
  SelectObject(memory, before);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return (GetRValue(pixel) << 16) | (GetGValue(pixel) << 8) | GetBValue(pixel);
}

class Win32LayoutTest : public Win32WindowTest {};

// This test program carries Tunelift's icon resource as tunelift.exe does (its
// tunelift_program_icon library), so the window's class must show it, at both sizes.
TEST_F(Win32LayoutTest, TheWindowsClassShowsTuneliftsIconAtBothSizes) {
  const HWND window = window_->Handle();
  const auto big = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
  const auto small = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
  ASSERT_NE(big, nullptr);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(big, ProgramIcon(GetSystemMetrics(SM_CXICON)));
  EXPECT_EQ(small, ProgramIcon(GetSystemMetrics(SM_CXSMICON)));
  EXPECT_NE(big, LoadIconW(nullptr, IDI_APPLICATION)) << "not the system's application icon";
  // The middle of both is the blue of the icon's square, packaging/icon/tunelift.svg's #1d4ed8.
  EXPECT_EQ(MiddleColour(big), 0x1d4ed8u);
  EXPECT_EQ(MiddleColour(small), 0x1d4ed8u);
}

TEST_F(Win32LayoutTest, TheWindowIsTitledTunelift410By300AndHoldsTheTablesControls) {
  const HWND window = window_->Handle();
  EXPECT_EQ(TextOf(window), "Tunelift");
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 410);
  EXPECT_EQ(client.bottom, 300);
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0)
      << "nothing resizes the window";

  for (const Expected& expected : kAt96Dpi) {
    const HWND control = Control(expected.name);
    ASSERT_NE(control, nullptr) << expected.name;
    EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), expected.windowClass), 0) << expected.name;
    ExpectPlace(ClientRectOf(control), expected.place, expected.name);
    EXPECT_NE(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE, 0) << expected.name;
  }
  EXPECT_EQ(TextOf(Control("Browse")), "Browse for .MP3 files");
  EXPECT_EQ(TextOf(Control("Send")), "Send the Music!");
  EXPECT_EQ(TextOf(Control("Delete")), "Delete All");
  EXPECT_EQ(TextOf(Control("cmdDelete")), "Delete Selected");
  EXPECT_EQ(TextOf(Control("Finish")), "           Finish!        (and delete temp files)");
  EXPECT_EQ(TextOf(Control("Label1")), "You selected these files:");
  EXPECT_EQ(TextOf(Control("Label2")),
            "After you have selected the files you want, press Send The Music, and it you "
            "should be hearing it soon!");
  EXPECT_EQ(TextOf(Control("Label3")),
            "Press \"Browse for .MP3 files\" to select and copy the music you want to send.    "
            "You can send more than one song, but you can only select one song at a time.");
  EXPECT_EQ(TextOf(Control("Label4")), "Label4");
}

TEST_F(Win32LayoutTest, ButtonsAreNeverDefaultAndFinishBreaksOntoCentredLines) {
  for (const char* name : {"Browse", "Send", "Delete", "cmdDelete", "Finish"}) {
    const LONG style = GetWindowLongW(Control(name), GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << name;
    EXPECT_NE(style & WS_TABSTOP, 0) << name;
  }
  const LONG finish = GetWindowLongW(Control("Finish"), GWL_STYLE);
  EXPECT_NE(finish & BS_MULTILINE, 0);
  EXPECT_TRUE((finish & BS_CENTER) == BS_CENTER || (finish & BS_CENTER) == 0) << "centred";
  for (const char* name : {"Label1", "Label2", "Label3", "Label4"}) {
    EXPECT_EQ(GetWindowLongW(Control(name), GWL_STYLE) & (WS_TABSTOP | SS_TYPEMASK), SS_LEFT)
        << name << " wraps and takes no focus";
  }
  const LONG list = GetWindowLongW(Control("File1"), GWL_STYLE);
  EXPECT_EQ(list & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL), 0) << "one entry at a time";
  EXPECT_NE(list & WS_TABSTOP, 0);
}

// At every DPI: the font is 8 points (at 96 DPI exactly), and no caption or label loses a word
// (a line more than its box holds, or a word wider than it). Buttons draw their caption inside
// their edge.
TEST_F(Win32LayoutTest, EveryTextShowsWholeIn8PointTypeAtEveryDpi) {
  const HDC screen = GetDC(nullptr);
  for (int dpi : {96, 120, 144, 192}) {
    Win32Window window(*services_, dialogs_, dpi);
    for (const ControlSpec& control : kControls) {
      const RECT area = TextArea(control, dpi);
      if (control.text.empty() || area.left >= TwipsToPixels(kClientWidth, dpi)) {
        continue;
      }
      const HWND shown = window.Control(control.control);
      SelectObject(screen, reinterpret_cast<HFONT>(SendMessageW(shown, WM_GETFONT, 0, 0)));
      TEXTMETRICW metrics{};
      GetTextMetricsW(screen, &metrics);
      const int characters = metrics.tmHeight - metrics.tmInternalLeading;
      // 8 points; where no face holds every text in that size, 7.5 points at the least.
      EXPECT_LE(characters, MulDiv(8, dpi, 72)) << control.name << " at " << dpi << " DPI";
      EXPECT_GE(characters, dpi == 96 ? 11 : MulDiv(15, dpi, 144))
          << control.name << " at " << dpi << " DPI";
      const std::wstring text = WideFromUtf8(TextOf(shown));
      RECT needed{0, 0, area.right - area.left, 0};
      DrawTextW(screen, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      EXPECT_LE(needed.right, area.right - area.left) << control.name << " at " << dpi << " DPI";
      EXPECT_LE(needed.bottom, area.bottom - area.top) << control.name << " at " << dpi << " DPI";
    }
  }
  ReleaseDC(nullptr, screen);
}

TEST_F(Win32LayoutTest, AtLargerDpiEveryFigureGrowsWithTheDpi) {
  for (int dpi : {120, 144}) {
    Win32Window scaled(*services_, dialogs_, dpi);
    RECT client{};
    GetClientRect(scaled.Handle(), &client);
    // 6150 by 4500 twips at dpi / 1440 pixels per twip, rounded.
    EXPECT_EQ(client.right, dpi == 120 ? 513 : 615);
    EXPECT_EQ(client.bottom, dpi == 120 ? 375 : 450);
    // Browse: 2040, 600, 2295 by 495 twips.
    const RECT browse = ClientRectOf(scaled.Control(FormControl::BrowseButton));
    ExpectPlace(browse, dpi == 120 ? RECT{170, 50, 361, 91} : RECT{204, 60, 434, 110}, "Browse");
  }
}

}  // namespace
}  // namespace tunelift::testing
