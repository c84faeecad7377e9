// Reading the FTP client's send report: any bytes are read as a report or refused with the
// core's error, never more; an end is only read from a last line that is one; and any texts,
// written into a report as the client escapes them, read back unchanged.
#include <string>
#include <vector>

#include "core/error.h"
#include "core/upload_report.h"
#include "fuzz_check.h"

namespace {

using tunelift::fuzz::Check;

// A text field as the client writes it.
std::string Escaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '\\': escaped += "\\\\"; break;
      case '\t': escaped += "\\t"; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      default: escaped.push_back(c);
    }
  }
  return escaped;
}

void ReadAnyBytes(std::string_view text) {
  try {
    const tunelift::UploadReport report = tunelift::ParseUploadReport(text);
    if (report.exitStatus) {
      const std::size_t lastLine = text.rfind('\n', text.size() - 2);
      Check(text.ends_with('\n') && text.substr(lastLine + 1).starts_with("end\t"),
            "an exit status comes only from a whole last line that is an end record");
    }
  } catch (const tunelift::Error& error) {
    Check(error.number() == tunelift::errnum::kInvalidFileFormat,
          "a report is refused only for its format");
  }
}

void ReadBackWrittenTexts(std::string_view text) {
  std::vector<std::string_view> parts = tunelift::fuzz::SplitAtNul(text);
  parts.resize(4);
  const std::string report = std::string(tunelift::kUploadReportFirstLine) + "\n" + "server\t" +
                             Escaped(parts[0]) + "\n" + "file\t" + Escaped(parts[1]) + "\t" +
                             std::to_string(text.size()) + "\t0\tfailed\t550\t" +
                             Escaped(parts[2]) + "\t" + Escaped(parts[3]) + "\n" + "end\t1\n";
  const tunelift::UploadReport read = tunelift::ParseUploadReport(report);
  Check(read.server == parts[0], "the server reads back");
  Check(read.files.size() == 1 && read.files[0].name == parts[1] &&
            read.files[0].replyText == parts[2] && read.files[0].reason == parts[3] &&
            read.files[0].size == text.size(),
        "the file reads back");
  Check(read.exitStatus == 1u, "the end reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = tunelift::fuzz::AsText(data, size);
  ReadAnyBytes(text);
  ReadBackWrittenTexts(text);
  return 0;
}
