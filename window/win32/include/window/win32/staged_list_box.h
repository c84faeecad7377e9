#pragma once
// The file list on the platform's list box: it draws what its StagedList holds (the list's
// rules live there), one entry selectable at a time. What an entry shows is only for the eye;
// List gives its name as it is on disk.

#include <windows.h>

#include <string>

#include "window/staged_list.h"

namespace tunelift {

class StagedListBox : public StagedListControl {
public:
  // `listBox` is a list box control without sorting; it must outlive this object.
  StagedListBox(HWND listBox, std::string pattern);

private:
  int SelectedRow() const override;
  void ShowEntries() override;

  HWND listBox_;
};

}  // namespace tunelift
