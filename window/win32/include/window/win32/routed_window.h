#pragma once
// The window procedure of a window that one C++ object owns: the object given to
// CreateWindowExW as lpParam receives every message from WM_NCCREATE on, knows its window
// handle before CreateWindowExW returns, and forgets it at WM_NCDESTROY. `Owner` keeps the
// handle in `window_` and handles messages in OnMessage, and makes this function a friend.

#include <windows.h>

namespace tunelift {

template <typename Owner>
LRESULT CALLBACK RoutedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  self->window_ = window;
  return self->OnMessage(message, wParam, lParam);
}

}  // namespace tunelift
