#include "owner_middle.h"

#include <algorithm>

namespace tunelift {

void MoveIntoMiddle(HWND dialog, HWND owner) {
  RECT ownerRect{};
  RECT dialogRect{};
  MONITORINFO screen{};
  screen.cbSize = sizeof screen;
  if (!GetWindowRect(owner, &ownerRect) || !GetWindowRect(dialog, &dialogRect) ||
      !GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &screen)) {
    return;  // the system places it, as it would have anyway
  }
  const LONG width = dialogRect.right - dialogRect.left;
  const LONG height = dialogRect.bottom - dialogRect.top;
  const RECT& work = screen.rcWork;
  const LONG left = std::clamp(ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2,
                               work.left, std::max(work.left, work.right - width));
  const LONG top = std::clamp(ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2,
                              work.top, std::max(work.top, work.bottom - height));
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tunelift
