#pragma once
// The file list's rules, without a toolkit: which files of the staging folder show (those
// matching the pattern, by the tool's one listing rule: hidden files do not show, names in
// the listing's order), how each name shows, and which entry stays selected when the folder
// is read again. Each window's list control holds one, draws its entries and forwards the
// user's selection to it, so both windows list by the same rules.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "window/form_view.h"

namespace tunelift {

struct ListEntry {
  std::string nameOnDisk;  // what List gives and the delete takes
  std::string shown;       // UTF-8, for the eye only
};

// A name as the list shows it: bytes that are not UTF-8 as the replacement character U+FFFD,
// control characters (a line break in a name, say) as "?".
std::string ShownName(std::string_view nameOnDisk);

class StagedList : public FileList {
public:
  explicit StagedList(std::string pattern);

  const std::string& Pattern() const { return pattern_; }
  const std::vector<ListEntry>& Entries() const { return entries_; }
  // Selects the entry at `index`; -1 (or any index outside the list) selects none.
  void Select(int index);

  std::string Path() const override { return path_; }
  void SetPath(const std::string& folder) override;
  int ListIndex() const override { return selected_; }
  std::string List(int index) const override;
  // Keeps the selected name selected when it is still there. A folder that cannot be read
  // leaves the list empty, not showing names that may be gone, and throws tunelift::Error.
  void Refresh() override;

private:
  std::string pattern_;
  std::string path_;
  std::vector<ListEntry> entries_;
  int selected_ = -1;
};

// A window's list control: the rules read the folder and keep the selection; the control only
// draws what they hold and tells which row the user selected. The folder is read only on
// SetPath and Refresh. Each window's list control is one of these.
class StagedListControl : public FileList {
public:
  explicit StagedListControl(std::string pattern) : list_(std::move(pattern)) {}

  const std::string& Pattern() const { return list_.Pattern(); }

  std::string Path() const override { return list_.Path(); }
  void SetPath(const std::string& folder) override;
  int ListIndex() const override { return SelectedRow(); }
  std::string List(int index) const override { return list_.List(index); }
  // Keeps the selected name selected when it is still there.
  void Refresh() override;

protected:
  const StagedList& Rules() const { return list_; }

private:
  // The row the user selected in the control; -1 for none.
  virtual int SelectedRow() const = 0;
  // Puts the rules' entries into the control and selects the one they kept.
  virtual void ShowEntries() = 0;
  // Runs `read` on the rules' list, then draws what it holds, also when `read` failed.
  void ReadAndShow(const std::function<void()>& read);

  StagedList list_;
};

}  // namespace tunelift
