#include "window/win32/staged_list_box.h"

#include <utility>

#include "core/error.h"
#include "listing/wide_text_win32.h"

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
    : listBox_(listBox), list_(std::move(pattern)) {}

void StagedListBox::SetPath(const std::string& folder) {
  list_.Select(-1);
  ReadAndShow([this, &folder] { list_.SetPath(folder); });
}

int StagedListBox::ListIndex() const {
  const LRESULT selected = SendMessageW(listBox_, LB_GETCURSEL, 0, 0);
  return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

void StagedListBox::Refresh() {
  list_.Select(ListIndex());
  ReadAndShow([this] { list_.Refresh(); });
}

void StagedListBox::ReadAndShow(const std::function<void()>& read) {
  try {
    read();
  } catch (...) {
    ShowEntries();  // an unreadable folder shows an empty list, not names that may be gone
    throw;
  }
  ShowEntries();
}

void StagedListBox::ShowEntries() {
  RedrawOnce redraw(listBox_);
  SendMessageW(listBox_, LB_RESETCONTENT, 0, 0);
  for (const ListEntry& entry : list_.Entries()) {
    // The shown text is UTF-8 by the rules' making; the name on disk never goes to the control.
    const std::wstring shown = WideFromUtf8(entry.shown);
    if (SendMessageW(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str())) < 0) {
      // A list missing one name would put every later entry at the wrong index, and Delete
      // Selected would take another file than the one the user sees: it shows none instead.
      SendMessageW(listBox_, LB_RESETCONTENT, 0, 0);
      throw Error(errnum::kOutOfMemory, "The list has no room for the " +
                                            std::to_string(list_.Entries().size()) +
                                            " names in '" + list_.Path() + "'.");
    }
  }
  SendMessageW(listBox_, LB_SETCURSEL, static_cast<WPARAM>(list_.ListIndex()), 0);
}

}  // namespace tunelift
