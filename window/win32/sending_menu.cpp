#include "sending_menu.h"

#include "core/win32_error.h"
#include "text/wide_text_win32.h"

namespace tunelift {

UniqueMenu MakeSendingMenu() {
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) {
    throw LastWin32Error("Cannot make the status icon's menu");
  }
  UINT id = kSendingMenuFirstId;
  for (const MenuBinding& item : kSendingMenu) {
    const std::wstring text = WideFromUtf8(item.text);
    if (!AppendMenuW(menu.get(), MF_STRING, id++, text.c_str())) {
      throw LastWin32Error("Cannot make the status icon's menu");
    }
  }
  return menu;
}

const MenuBinding* ChooseFromSendingMenu(HWND window, POINT anchor) {
  const UniqueMenu menu = MakeSendingMenu();
  // A menu of a notification icon closes when the user clicks elsewhere only if its window
  // is in the foreground, and shows again at once only after the window has had a message.
  SetForegroundWindow(window);
  const UINT alignment =
      GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  constexpr UINT kFlags = TPM_BOTTOMALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY;
  // With TPM_RETURNCMD, 0 is both "no choice" and a failure: the last error tells them apart.
  SetLastError(ERROR_SUCCESS);
  const auto chosen = static_cast<UINT>(
      TrackPopupMenuEx(menu.get(), alignment | kFlags, anchor.x, anchor.y, window, nullptr));
  const DWORD failure = chosen == 0 ? GetLastError() : ERROR_SUCCESS;
  PostMessageW(window, WM_NULL, 0, 0);
  if (failure != ERROR_SUCCESS) {
    throw Win32Error("Cannot show the status icon's menu", failure);
  }
  if (chosen < kSendingMenuFirstId || chosen >= kSendingMenuFirstId + kSendingMenu.size()) {
    return nullptr;  // the menu was closed without a choice
  }
  return &kSendingMenu[chosen - kSendingMenuFirstId];
}

}  // namespace tunelift
