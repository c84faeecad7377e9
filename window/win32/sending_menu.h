#pragma once
// The notification icon's menu while a send runs (kSendingMenu), as the platform's own popup
// menu: the items in the table's order, each with its text, its command number the item's
// place after kSendingMenuFirstId.

#include <windows.h>

#include <memory>

#include "window/form_handlers.h"

namespace tunelift {

inline constexpr UINT kSendingMenuFirstId = 100;

struct MenuDestroyer {
  void operator()(HMENU menu) const noexcept { DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

// The menu, not shown. Throws tunelift::Error when the system cannot make it.
UniqueMenu MakeSendingMenu();

// Shows the menu at `anchor` (screen pixels) for `window`, as the notification area shows an
// icon's menu, and waits for the user; returns the item chosen, nullptr for none.
const MenuBinding* ChooseFromSendingMenu(HWND window, POINT anchor);

}  // namespace tunelift
