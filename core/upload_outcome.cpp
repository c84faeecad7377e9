#include "core/upload_outcome.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "text/utf8_path.h"

namespace tunelift {
namespace {

namespace fs = std::filesystem;

Error CannotRead(const std::string& path, int number, const std::string& reason) {
  return Error(number, "Cannot read the send report '" + path + "': " + reason);
}

}  // namespace

std::string ReadReportFile(const std::string& path) {
  const fs::path file = PathFromUtf8(path);
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (status.type() == fs::file_type::not_found) {
    throw CannotRead(path, errnum::kFileNotFound, "there is none.");
  }
  if (ec) {
    throw CannotRead(path, errnum::kPathFileAccess, ec.message() + ".");
  }
  if (!fs::is_regular_file(status)) {
    throw CannotRead(path, errnum::kPathFileAccess, "it is not a file.");
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw CannotRead(path, errnum::kPathFileAccess, "it could not be opened.");
  }
  // A report replaced by a larger one meanwhile is still read no further than the bound.
  std::string text;
  char chunk[64 * 1024];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kLargestReport) {
      throw CannotRead(path, errnum::kInvalidFileFormat, "it holds more than any report.");
    }
  }
  if (in.bad()) {
    throw CannotRead(path, errnum::kPathFileAccess, "it could not be read whole.");
  }
  return text;
}

UploadOutcome ReadUploadOutcome(int exitStatus, const std::string& reportFile,
                                const std::string& transcript) {
  UploadOutcome outcome;
  outcome.exitStatus = exitStatus;
  outcome.transcript = transcript;
  outcome.reportFile = reportFile;
  try {
    outcome.report = ReadUploadReport(reportFile);
  } catch (const Error& error) {
    outcome.reportError = error;
  }
  return outcome;
}

UploadReport ReadUploadReport(const std::string& path) {
  const std::string text = ReadReportFile(path);
  try {
    return ParseUploadReport(text);
  } catch (const Error& error) {
    throw Error(error.number(),
                "Cannot read the send report '" + path + "'. " + error.description());
  }
}

}  // namespace tunelift
