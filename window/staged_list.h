#pragma once
// The file list's rules, without a toolkit: which files of the staging folder show (those
// matching the pattern, by the tool's one listing rule: hidden files do not show, names in
// the listing's order), how each name shows, and which entry stays selected when the folder
// is read again. Each window's list control holds one, draws its entries and forwards the
// user's selection to it, so both windows list by the same rules.

#include <string>
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

}  // namespace tunelift
