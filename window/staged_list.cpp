#include "window/staged_list.h"

#include <filesystem>
#include <utility>

#include "core/error.h"
#include "listing/listing.h"
#include "text/utf8.h"
#include "text/utf8_path.h"

namespace tunelift {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// The names of the plain files in `folder` that match `pattern`, in the order they show.
std::vector<std::string> MatchingNames(const std::string& folder, const std::string& pattern) {
  try {
    return ListMatching(PathFromUtf8(folder), pattern);
  } catch (const std::filesystem::filesystem_error& error) {
    throw Error(errnum::kPathNotFound,
                "Cannot read folder '" + folder + "': " + error.code().message());
  }
}

}  // namespace

std::string ShownName(std::string_view nameOnDisk) {
  std::string shown;
  while (!nameOnDisk.empty()) {
    const Utf8Char c = DecodeUtf8(nameOnDisk);
    if (c.length == 0) {
      shown += kReplacementCharacter;
      nameOnDisk.remove_prefix(1);
      continue;
    }
    if (IsControl(c.code)) {
      shown += '?';
    } else {
      shown += nameOnDisk.substr(0, c.length);
    }
    nameOnDisk.remove_prefix(c.length);
  }
  return shown;
}

StagedList::StagedList(std::string pattern) : pattern_(std::move(pattern)) {}

void StagedList::Select(int index) {
  const bool inList = index >= 0 && static_cast<std::size_t>(index) < entries_.size();
  selected_ = inList ? index : -1;
}

void StagedList::SetPath(const std::string& folder) {
  path_ = folder;
  Refresh();
}

std::string StagedList::List(int index) const {
  return entries_.at(static_cast<std::size_t>(index)).nameOnDisk;
}

void StagedList::Refresh() {
  const std::string selectedName = selected_ < 0 ? std::string() : List(selected_);
  const bool hadSelection = selected_ >= 0;
  entries_.clear();
  selected_ = -1;
  for (std::string& name : MatchingNames(path_, pattern_)) {
    if (hadSelection && name == selectedName) {
      selected_ = static_cast<int>(entries_.size());
    }
    std::string shown = ShownName(name);
    entries_.push_back({std::move(name), std::move(shown)});
  }
}

void StagedListControl::SetPath(const std::string& folder) {
  list_.Select(-1);
  ReadAndShow([this, &folder] { list_.SetPath(folder); });
}

void StagedListControl::Refresh() {
  list_.Select(SelectedRow());
  ReadAndShow([this] { list_.Refresh(); });
}

void StagedListControl::ReadAndShow(const std::function<void()>& read) {
  try {
    read();
  } catch (...) {
    ShowEntries();  // an unreadable folder shows an empty list, not names that may be gone
    throw;
  }
  ShowEntries();
}

}  // namespace tunelift
