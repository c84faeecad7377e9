#pragma once
// The file list on the platform's list box: it draws what its StagedList holds (the list's
// rules live there), one entry selectable at a time. The folder is read only on SetPath and
// Refresh. What an entry shows is only for the eye; List gives its name as it is on disk.

#include <windows.h>

#include <functional>
#include <string>

#include "window/staged_list.h"

namespace tunelift {

class StagedListBox : public FileList {
public:
  // `listBox` is a list box control without sorting; it must outlive this object.
  StagedListBox(HWND listBox, std::string pattern);

  HWND Handle() const { return listBox_; }
  const std::string& Pattern() const { return list_.Pattern(); }

  std::string Path() const override { return list_.Path(); }
  void SetPath(const std::string& folder) override;
  // The entry the user selected in the control.
  int ListIndex() const override;
  std::string List(int index) const override { return list_.List(index); }
  // Keeps the selected name selected when it is still there.
  void Refresh() override;

private:
  // Runs `read` on the rules' list, then draws what it holds, also when `read` failed.
  void ReadAndShow(const std::function<void()>& read);
  // Puts the entries into the control again and selects the one the rules kept.
  void ShowEntries();

  HWND listBox_;
  StagedList list_;
};

}  // namespace tunelift
