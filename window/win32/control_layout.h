#pragma once
// How each control of the layout table becomes a native control: its window class and
// styles, its identifier, and its place in pixels at the display's DPI.

#include <windows.h>

#include <string_view>

#include "window/layout.h"

namespace tunelift {

struct NativeControl {
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};

// The platform's own control for `control`: push buttons (the Finish caption breaking onto
// centred lines as multi-line buttons do), labels that wrap, a list box. None is a default
// button, and only the controls that take the focus are tab stops.
NativeControl NativeControlFor(const ControlSpec& control);

// The control's identifier within the window: its place in the table, from 100 on, so that no
// control has the numbers of the dialog manager's Enter and Escape (IDOK and IDCANCEL).
int ControlId(FormControl control);
// The control with identifier `id`; nullptr for any other number.
const ControlSpec* ControlWithId(int id);

// The control's rectangle in the window's client area, in pixels at `dpi`.
RECT ControlRect(const ControlSpec& control, int dpi);
// The part of that rectangle the control's text is drawn in: a label's whole box, a push
// button's inside its raised edge.
RECT TextArea(const ControlSpec& control, int dpi);

}  // namespace tunelift
