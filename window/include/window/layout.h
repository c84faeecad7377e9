#pragma once
// The main window's controls: kind, caption, place, size, tab index and click handler of each,
// in the order the window declares them. Every front end builds its widgets from this one
// table, and the tests hold the live widgets against it. Figures are twips, as the window was
// designed.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "window/form_handlers.h"

namespace tunelift {

enum class ControlKind { PushButton, Label, FileListBox };

// The form's controls, named in code for what each is to the user, in the table's order: each
// face holds its widgets in an array indexed by these, so a control that is not in the table
// cannot be asked for.
enum class FormControl : std::size_t {
  DeleteSelectedButton,
  FinishButton,
  DeleteAllButton,
  StagedList,
  SendButton,
  BrowseButton,
  FolderLabel,
  InstructionsLabel,
  SendAdviceLabel,
  StagedListHeading,
};

struct ControlSpec {
  FormControl control;
  // The control's name on the form: data, kept as the form was drawn (the widgets' object
  // names, which tests find them by).
  std::string_view name;
  ControlKind kind;
  std::string_view text;
  int left;
  int top;
  int width;
  int height;
  int tabIndex;
  // What a click runs: set for the push buttons alone.
  FormHandlers::Handler click = nullptr;
};

inline constexpr std::string_view kFormName = "Tunelift";
inline constexpr std::string_view kFormCaption = "Tunelift";
inline constexpr int kClientWidth = 6150;
inline constexpr int kClientHeight = 4500;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kUsualDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kUsualDpi;  // 15

// The pattern of the file list: only MP3 files show, whatever the case of their names.
inline constexpr std::string_view kStagedListPattern = "*.mp3";

inline constexpr std::array kControls{
    ControlSpec{FormControl::DeleteSelectedButton, "cmdDelete", ControlKind::PushButton,
                "Delete Selected", 3240, 2640, 1455, 375, 8, &FormHandlers::DeleteSelectedFile},
    ControlSpec{FormControl::FinishButton, "Finish", ControlKind::PushButton,
                "           Finish!        (and delete temp files)", 1200, 3840, 1695, 495, 7,
                &FormHandlers::Finish},
    ControlSpec{FormControl::DeleteAllButton, "Delete", ControlKind::PushButton, "Delete All", 1560,
                2640, 1335, 375, 6, &FormHandlers::DeleteAllFiles},
    ControlSpec{FormControl::StagedList, "File1", ControlKind::FileListBox, "", 240, 1440, 5655,
                1065, 2},
    ControlSpec{FormControl::SendButton, "Send", ControlKind::PushButton, "Send the Music!", 3240,
                3840, 1695, 495, 1, &FormHandlers::SendStagedFiles},
    ControlSpec{FormControl::BrowseButton, "Browse", ControlKind::PushButton,
                "Browse for .MP3 files", 2040, 600, 2295, 495, 0,
                &FormHandlers::ChooseAndStageFile},
    // Beyond the right edge of the client area: it never shows, it only holds the current
    // folder as its caption.
    ControlSpec{FormControl::FolderLabel, "Label4", ControlKind::Label, "Label4", 6720, 840, 1695,
                1095, 9},
    ControlSpec{FormControl::InstructionsLabel, "Label3", ControlKind::Label,
                "Press \"Browse for .MP3 files\" to select and copy the music you want to send."
                "    You can send more than one song, but you can only select one song at a "
                "time.",
                240, 120, 5655, 495, 5},
    ControlSpec{FormControl::SendAdviceLabel, "Label2", ControlKind::Label,
                "After you have selected the files you want, press Send The Music, and it you "
                "should be hearing it soon!",
                240, 3240, 5655, 495, 4},
    ControlSpec{FormControl::StagedListHeading, "Label1", ControlKind::Label,
                "You selected these files:", 240, 1200, 1935, 255, 3},
};

// The table's place of `control`.
constexpr std::size_t IndexOf(FormControl control) {
  return static_cast<std::size_t>(control);
}

// The row of `control` in the table.
constexpr const ControlSpec& RowOf(FormControl control) {
  return kControls[IndexOf(control)];
}

// Each row sits at its control's place, so that an array indexed by FormControl matches the
// table; push buttons, and they alone, run a handler when clicked.
constexpr bool TableIsIndexedByControl() {
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlSpec& row = kControls[i];
    if (IndexOf(row.control) != i ||
        (row.kind == ControlKind::PushButton) != (row.click != nullptr)) {
      return false;
    }
  }
  return true;
}
static_assert(TableIsIndexedByControl(), "a row is out of place, or a button has no handler");

// Which handler a click on each button runs, drawn from the table.
struct ClickBinding {
  FormControl control;
  FormHandlers::Handler handler;
};

inline constexpr std::size_t kButtonCount = static_cast<std::size_t>(
    std::ranges::count_if(kControls, [](const ControlSpec& c) { return c.click != nullptr; }));

constexpr std::array<ClickBinding, kButtonCount> ClickBindings() {
  std::array<ClickBinding, kButtonCount> bindings{};
  auto next = bindings.begin();
  for (const ControlSpec& control : kControls) {
    if (control.click != nullptr) {
      *next++ = {control.control, control.click};
    }
  }
  return bindings;
}
inline constexpr auto kClickBindings = ClickBindings();

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

// The controls that take the focus, in tab-index order: Tab moves through them in this order,
// and the first has the focus when the window opens.
constexpr std::array<FormControl, kFocusableCount> FocusOrder() {
  std::array<const ControlSpec*, kFocusableCount> controls{};
  auto next = controls.begin();
  for (const ControlSpec& control : kControls) {
    if (TakesFocus(control.kind)) {
      *next++ = &control;
    }
  }
  std::ranges::sort(controls, {}, &ControlSpec::tabIndex);
  std::array<FormControl, kFocusableCount> order{};
  std::ranges::transform(controls, order.begin(), &ControlSpec::control);
  return order;
}
inline constexpr auto kFocusOrder = FocusOrder();

}  // namespace tunelift
