#pragma once
// The main window's controls: kind, caption, place, size and tab index of each, in the order
// the window declares them. Every front end builds its widgets from this one table, and the
// tests hold the live widgets against it. Figures are twips, as the window was designed.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace tunelift {

enum class ControlKind { PushButton, Label, FileListBox };

struct ControlSpec {
  std::string_view name;
  ControlKind kind;
  std::string_view text;
  int left;
  int top;
  int width;
  int height;
  int tabIndex;
};

inline constexpr std::string_view kFormName = "Tunelift";
inline constexpr std::string_view kFormCaption = "Tunelift";
inline constexpr int kClientWidth = 6150;
inline constexpr int kClientHeight = 4500;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kUsualDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kUsualDpi;  // 15

// The pattern of the file list: only MP3 files show, whatever the case of their names.
inline constexpr std::string_view kFile1Pattern = "*.mp3";

inline constexpr std::array kControls{
    ControlSpec{"cmdDelete", ControlKind::PushButton, "Delete Selected", 3240, 2640, 1455, 375, 8},
    ControlSpec{"Finish", ControlKind::PushButton,
                "           Finish!        (and delete temp files)", 1200, 3840, 1695, 495, 7},
    ControlSpec{"Delete", ControlKind::PushButton, "Delete All", 1560, 2640, 1335, 375, 6},
    ControlSpec{"File1", ControlKind::FileListBox, "", 240, 1440, 5655, 1065, 2},
    ControlSpec{"Send", ControlKind::PushButton, "Send the Music!", 3240, 3840, 1695, 495, 1},
    ControlSpec{"Browse", ControlKind::PushButton, "Browse for .MP3 files", 2040, 600, 2295, 495,
                0},
    // Beyond the right edge of the client area: it never shows, it only holds a caption.
    ControlSpec{"Label4", ControlKind::Label, "Label4", 6720, 840, 1695, 1095, 9},
    ControlSpec{"Label3", ControlKind::Label,
                "Press \"Browse for .MP3 files\" to select and copy the music you want to send."
                "    You can send more than one song, but you can only select one song at a "
                "time.",
                240, 120, 5655, 495, 5},
    ControlSpec{"Label2", ControlKind::Label,
                "After you have selected the files you want, press Send The Music, and it you "
                "should be hearing it soon!",
                240, 3240, 5655, 495, 4},
    ControlSpec{"Label1", ControlKind::Label, "You selected these files:", 240, 1200, 1935, 255, 3},
};

// Pixels for `twips` at `dpi` dots per inch, rounded to the nearest.
constexpr int TwipsToPixels(int twips, int dpi) {
  return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

// Logical pixels at the usual 96 DPI, 15 twips per pixel; every figure of the table divides
// evenly.
constexpr int ToPixels(int twips) {
  return TwipsToPixels(twips, kUsualDpi);
}

constexpr bool FiguresAreWholePixels() {
  for (const ControlSpec& c : kControls) {
    for (int twips : {c.left, c.top, c.width, c.height}) {
      if (twips % kTwipsPerPixel != 0) {
        return false;
      }
    }
  }
  return kClientWidth % kTwipsPerPixel == 0 && kClientHeight % kTwipsPerPixel == 0;
}
static_assert(FiguresAreWholePixels(), "a figure would be rounded on the way to pixels");

// Buttons and the list take the keyboard focus; labels do not.
constexpr bool TakesFocus(ControlKind kind) {
  return kind != ControlKind::Label;
}

inline constexpr std::size_t kFocusableCount = static_cast<std::size_t>(
    std::ranges::count_if(kControls, [](const ControlSpec& c) { return TakesFocus(c.kind); }));

// The names of the controls that take the focus, in tab-index order: Tab moves through them
// in this order, and the first has the focus when the window opens.
constexpr std::array<std::string_view, kFocusableCount> FocusOrder() {
  std::array<const ControlSpec*, kFocusableCount> controls{};
  auto next = controls.begin();
  for (const ControlSpec& control : kControls) {
    if (TakesFocus(control.kind)) {
      *next++ = &control;
    }
  }
  std::ranges::sort(controls, {}, &ControlSpec::tabIndex);
  std::array<std::string_view, kFocusableCount> names{};
  std::ranges::transform(controls, names.begin(), &ControlSpec::name);
  return names;
}
inline constexpr auto kFocusOrder = FocusOrder();

// The control named `name`; nullptr when the table has none.
constexpr const ControlSpec* FindControl(std::string_view name) {
  for (const ControlSpec& control : kControls) {
    if (control.name == name) {
      return &control;
    }
  }
  return nullptr;
}

}  // namespace tunelift
