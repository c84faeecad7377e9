#include "control_layout.h"

#include <cstddef>

namespace tunelift {
namespace {

constexpr int kFirstControlId = 100;
static_assert(kFirstControlId > IDCANCEL);

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

}  // namespace

NativeControl NativeControlFor(const ControlSpec& control) {
  switch (control.kind) {
    case ControlKind::PushButton: {
      // Captions wider than the button break at spaces onto centred lines; only the Finish
      // caption is that wide.
      return {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE, 0};
    }
    case ControlKind::Label:
      // A plain left-aligned label wraps its text at word boundaries within its box; "&" in a
      // text is a character, not a mnemonic mark.
      return {L"STATIC", kChild | SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::FileListBox:
      // The list keeps the height it was given rather than one of whole entries, and keeps
      // the order it is given: the list's rules sort it.
      return {L"LISTBOX",
              kChild | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
              WS_EX_CLIENTEDGE};
  }
  return {L"STATIC", kChild, 0};
}

int ControlId(FormControl control) {
  return kFirstControlId + static_cast<int>(IndexOf(control));
}

const ControlSpec* ControlWithId(int id) {
  const int index = id - kFirstControlId;
  if (index < 0 || static_cast<std::size_t>(index) >= kControls.size()) {
    return nullptr;
  }
  return &kControls[static_cast<std::size_t>(index)];
}

RECT ControlRect(const ControlSpec& control, int dpi) {
  const int left = TwipsToPixels(control.left, dpi);
  const int top = TwipsToPixels(control.top, dpi);
  return {left, top, left + TwipsToPixels(control.width, dpi),
          top + TwipsToPixels(control.height, dpi)};
}

RECT TextArea(const ControlSpec& control, int dpi) {
  RECT area = ControlRect(control, dpi);
  if (control.kind == ControlKind::PushButton) {
    InflateRect(&area, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
  }
  return area;
}

}  // namespace tunelift
