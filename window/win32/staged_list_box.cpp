#include "window/win32/staged_list_box.h"

#include <utility>

#include "core/error.h"
#include "text/wide_text_win32.h"

namespace tunelift {
namespace {

// Redraws the list once, when the scope ends, not once per entry put into it.
class RedrawOnce {
public:
  explicit RedrawOnce(HWND control) : control_(control) {
    SendMessageW(control_, WM_SETREDRAW, FALSE, 0);
  }
  ~RedrawOnce() {
    SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control_, nullptr, TRUE);
  }
  RedrawOnce(const RedrawOnce&) = delete;
  RedrawOnce& operator=(const RedrawOnce&) = delete;

private:
  HWND control_;
};

}  // namespace

StagedListBox::StagedListBox(HWND listBox, std::string pattern)
    : StagedListControl(std::move(pattern)), listBox_(listBox) {}

int StagedListBox::SelectedRow() const {
  const LRESULT selected = SendMessageW(listBox_, LB_GETCURSEL, 0, 0);
  return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

void StagedListBox::ShowEntries() {
  RedrawOnce redraw(listBox_);
  SendMessageW(listBox_, LB_RESETCONTENT, 0, 0);
  for (const ListEntry& entry : Rules().Entries()) {
    // The shown text is UTF-8 by the rules' making; the name on disk never goes to the control.
    const std::wstring shown = WideFromUtf8(entry.shown);
    if (SendMessageW(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str())) < 0) {
      // A list missing one name would put every later entry at the wrong index, and Delete
      // Selected would take another file than the one the user sees: it shows none instead.
      SendMessageW(listBox_, LB_RESETCONTENT, 0, 0);
      throw Error(errnum::kOutOfMemory, "The list has no room for the " +
                                            std::to_string(Rules().Entries().size()) +
                                            " names in '" + Rules().Path() + "'.");
    }
  }
  SendMessageW(listBox_, LB_SETCURSEL, static_cast<WPARAM>(Rules().ListIndex()), 0);
}

}  // namespace tunelift
