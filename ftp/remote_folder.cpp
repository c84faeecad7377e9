#include "remote_folder.h"

namespace tunelift::ftp {

RemoteFolder RemoteFolder::Changed(std::string_view change) const {
  RemoteFolder result = *this;
  if (change.starts_with('/')) {
    result = RemoteFolder{.absolute = true, .segments = {}};
  }
  while (!change.empty()) {
    const std::size_t slash = change.find('/');
    const std::string_view part = change.substr(0, slash);
    change = slash == std::string_view::npos ? std::string_view() : change.substr(slash + 1);
    if (part.empty() || part == ".") {
      continue;
    }
    const bool canGoUp = !result.segments.empty() && result.segments.back() != "..";
    if (part == ".." && canGoUp) {
      result.segments.pop_back();
    } else if (part != ".." || !result.absolute) {
      result.segments.emplace_back(part);
    }
  }
  return result;
}

}  // namespace tunelift::ftp
