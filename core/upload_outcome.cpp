#include "upload_outcome.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tunelift {
namespace {

constexpr std::string_view kClientPrefix = "ftp: ";

// "ftp: N bytes sent in ...": a file sent, not a complaint.
bool IsFileSentLine(std::string_view line) {
  if (!line.starts_with(kClientPrefix)) {
    return false;
  }
  line.remove_prefix(kClientPrefix.size());
  const std::size_t digits = line.find_first_not_of("0123456789");
  return digits > 0 && digits != std::string_view::npos &&
         line.substr(digits).starts_with(" bytes sent in ");
}

}  // namespace

UploadOutcome ReadUploadOutcome(int exitStatus, const std::optional<std::string>& transcript) {
  UploadOutcome outcome;
  outcome.exitStatus = exitStatus;
  outcome.allSent = exitStatus == 0;
  if (!transcript) {
    return outcome;
  }
  int filesSent = 0;
  std::istringstream lines(*transcript);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (IsFileSentLine(line)) {
      ++filesSent;
    } else if (line.starts_with(kClientPrefix) && outcome.reason.empty()) {
      outcome.reason = line.substr(kClientPrefix.size());
    }
  }
  outcome.filesSent = filesSent;
  return outcome;
}

std::optional<std::string> ReadTranscript(const std::string& path) {
  const std::u8string utf8(path.begin(), path.end());
  std::ifstream in(std::filesystem::path(utf8), std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    return std::nullopt;
  }
  return text;
}

}  // namespace tunelift
