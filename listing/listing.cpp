#include "listing/listing.h"

#include <algorithm>
#include <system_error>

#include "case_fold.h"
#include "system_names.h"
#include "text/utf8_path.h"
#include "listing/wildcard.h"

namespace tunelift {
namespace {

namespace fs = std::filesystem;

bool Takes(const fs::directory_entry& entry, Entries entries) {
  std::error_code ignored;  // an entry that cannot be looked at is not taken
  if (entries == Entries::ReadableFiles) {
    return entry.is_regular_file(ignored);
  }
  const fs::file_status own = entry.symlink_status(ignored);
  return fs::exists(own) && !fs::is_directory(own);
}

}  // namespace

bool IsHidden(const fs::directory_entry& entry) {
  return Utf8FromPath(entry.path().filename()).starts_with('.') ||
         system_names::HasHiddenAttribute(entry.path());
}

std::vector<std::string> ListMatching(const fs::path& folder, std::string_view pattern,
                                      const ListingRule& rule) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string name = Utf8FromPath(entry.path().filename());
    const bool hiddenTaken = rule.hidden == HiddenFiles::Take || !IsHidden(entry);
    if (hiddenTaken && WildcardMatch(pattern, name) && Takes(entry, rule.entries)) {
      names.push_back(name);
    }
  }
  std::ranges::sort(names,
                    [](const std::string& a, const std::string& b) { return NameBefore(a, b); });
  return names;
}

}  // namespace tunelift
