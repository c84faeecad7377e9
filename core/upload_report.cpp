#include "core/upload_report.h"

#include <array>
#include <charconv>
#include <limits>
#include <utility>

#include "core/error.h"

namespace tunelift {
namespace {

constexpr char kFieldSeparator = '\t';
constexpr char kLineEnd = '\n';
// A reply code has three digits; 0 stands for no reply.
constexpr int kLargestReplyCode = 999;

// Thrown for the line being read; ParseUploadReport adds which line it was.
struct Malformed {
  std::string what;
};

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t tab = line.find(kFieldSeparator); tab != std::string_view::npos;
       tab = line.find(kFieldSeparator)) {
    fields.push_back(line.substr(0, tab));
    line.remove_prefix(tab + 1);
  }
  fields.push_back(line);
  return fields;
}

void ExpectFields(const std::vector<std::string_view>& fields, std::size_t count) {
  if (fields.size() != count) {
    throw Malformed{"a '" + std::string(fields[0]) + "' record has " +
                    std::to_string(fields.size()) + " fields instead of " + std::to_string(count)};
  }
}

// Decimal digits only, no sign, no space, within `largest`.
template <typename Number>
Number ParseNumber(std::string_view field, Number largest, std::string_view what) {
  Number value{};
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  const bool digitsOnly =
      !field.empty() && field.find_first_not_of("0123456789") == std::string_view::npos;
  if (!digitsOnly || error != std::errc() || stop != end || value > largest) {
    throw Malformed{"the " + std::string(what) + " is not a number in range"};
  }
  return value;
}

int ParseReplyCode(std::string_view field) {
  return ParseNumber(field, kLargestReplyCode, "reply code");
}

std::uint64_t ParseByteCount(std::string_view field, std::string_view what) {
  return ParseNumber(field, std::numeric_limits<std::uint64_t>::max(), what);
}

// A text field with its escapes undone.
std::string ParseText(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c == '\r') {
      throw Malformed{"a text holds a carriage return that is not escaped"};
    }
    if (c != '\\') {
      text.push_back(c);
      continue;
    }
    const char escaped = i + 1 < field.size() ? field[++i] : '\0';
    switch (escaped) {
      case '\\': text.push_back('\\'); break;
      case 't': text.push_back('\t'); break;
      case 'n': text.push_back('\n'); break;
      case 'r': text.push_back('\r'); break;
      default: throw Malformed{"a text holds a backslash that starts no escape"};
    }
  }
  return text;
}

// The value among `names` that `field` names, by its place in the list.
template <typename Value, std::size_t N>
Value ParseWord(std::string_view field,
                const std::array<std::pair<std::string_view, Value>, N>& names,
                std::string_view what) {
  for (const auto& [name, value] : names) {
    if (field == name) {
      return value;
    }
  }
  throw Malformed{"an unknown " + std::string(what)};
}

constexpr std::array kEncryptionNames{
    std::pair{std::string_view("everything"), Encryption::Everything},
    std::pair{std::string_view("commands-only"), Encryption::CommandsOnly},
    std::pair{std::string_view("none"), Encryption::None},
};
constexpr std::array kIdentityNames{
    std::pair{std::string_view("verified"), ServerIdentity::Verified},
    std::pair{std::string_view("not-verified"), ServerIdentity::NotVerified},
    std::pair{std::string_view("not-checked"), ServerIdentity::NotChecked},
};
constexpr std::array kStateNames{
    std::pair{std::string_view("waiting"), FileState::Waiting},
    std::pair{std::string_view("sending"), FileState::Sending},
    std::pair{std::string_view("verified"), FileState::Verified},
    std::pair{std::string_view("sent-not-verified"), FileState::SentNotVerified},
    std::pair{std::string_view("failed"), FileState::Failed},
};

// Sets a record that a report holds once at most.
template <typename Value>
void SetOnce(std::optional<Value>& slot, Value value, std::string_view kind) {
  if (slot) {
    throw Malformed{"a second '" + std::string(kind) + "' record"};
  }
  slot = std::move(value);
}

ReportedFile ParseFile(const std::vector<std::string_view>& fields) {
  ExpectFields(fields, 8);
  return {.name = ParseText(fields[1]),
          .size = ParseByteCount(fields[2], "size"),
          .sent = ParseByteCount(fields[3], "count of bytes sent"),
          .state = ParseWord(fields[4], kStateNames, "file state"),
          .replyCode = ParseReplyCode(fields[5]),
          .replyText = ParseText(fields[6]),
          .reason = ParseText(fields[7])};
}

ReportedFailure ParseFailure(const std::vector<std::string_view>& fields) {
  ExpectFields(fields, 4);
  return {.replyCode = ParseReplyCode(fields[1]),
          .replyText = ParseText(fields[2]),
          .reason = ParseText(fields[3])};
}

// Adds the record on `line` to `report`; a kind it does not know changes nothing.
void ReadRecord(std::string_view line, UploadReport& report) {
  if (report.exitStatus) {
    throw Malformed{"a record follows the 'end' record"};
  }
  const std::vector<std::string_view> fields = SplitFields(line);
  const std::string_view kind = fields[0];
  if (kind.empty()) {
    throw Malformed{"a record without a kind"};
  }
  if (kind == "server") {
    ExpectFields(fields, 2);
    SetOnce(report.server, ParseText(fields[1]), kind);
  } else if (kind == "encryption") {
    ExpectFields(fields, 2);
    SetOnce(report.encryption, ParseWord(fields[1], kEncryptionNames, "encryption"), kind);
  } else if (kind == "identity") {
    ExpectFields(fields, 2);
    SetOnce(report.identity, ParseWord(fields[1], kIdentityNames, "identity"), kind);
  } else if (kind == "file") {
    report.files.push_back(ParseFile(fields));
  } else if (kind == "failure") {
    report.failures.push_back(ParseFailure(fields));
  } else if (kind == "end") {
    ExpectFields(fields, 2);
    report.exitStatus =
        ParseNumber(fields[1], std::numeric_limits<std::uint32_t>::max(), "exit status");
  }
}

Error Unreadable(std::size_t lineNumber, const std::string& what) {
  return Error(errnum::kInvalidFileFormat, "The send report is not in its format: line " +
                                               std::to_string(lineNumber) + ": " + what + ".");
}

}  // namespace

UploadReport ParseUploadReport(std::string_view text) {
  const std::size_t firstEnd = text.find(kLineEnd);
  if (firstEnd == std::string_view::npos || text.substr(0, firstEnd) != kUploadReportFirstLine) {
    throw Unreadable(1, "it does not start a send report of this version");
  }
  text.remove_prefix(firstEnd + 1);
  UploadReport report;
  // Only whole lines: one without its LF at the end was not written whole.
  std::size_t number = 2;
  for (std::size_t end = text.find(kLineEnd); end != std::string_view::npos;
       ++number, end = text.find(kLineEnd)) {
    try {
      ReadRecord(text.substr(0, end), report);
    } catch (const Malformed& malformed) {
      throw Unreadable(number, malformed.what);
    }
    text.remove_prefix(end + 1);
  }
  if (report.exitStatus && !text.empty()) {
    throw Unreadable(number, "something follows the 'end' record");
  }
  return report;
}

}  // namespace tunelift
