#pragma once
// What one send came to: the FTP client's exit status and the report it wrote of the send
// (upload_report.h). The transcript of its output is kept for people to read; nothing here
// reads its words.

#include <cstdint>
#include <optional>
#include <string>

#include "error.h"
#include "upload_report.h"

namespace tunelift {

struct UploadOutcome {
  // As RunningProgram::ExitStatus gives it: -1 when it was lost.
  int exitStatus = -1;
  // The send's transcript and report, as paths in the platform's own form (UTF-8).
  std::string transcript;
  std::string reportFile;
  // The client's report; absent when it could not be had, and then reportError says why
  // (errnum::kFileNotFound: the client wrote none).
  std::optional<UploadReport> report;
  std::optional<Error> reportError;
  // Whether MP3 files were staged when the send was seen to end; absent when the staging
  // folder could not be read, and then stagingError says why.
  std::optional<bool> musicStaged;
  std::optional<Error> stagingError;
  // Tunelift stopped the client before it ended (StagingArea::StopUploads).
  bool stopped = false;
};

// The outcome of a client that ended with `exitStatus`, from its report at `reportFile`; its
// transcript is named, not read. Whether music is still staged is left for the caller.
UploadOutcome ReadUploadOutcome(int exitStatus, const std::string& reportFile,
                                const std::string& transcript);

// A report is written by the client for one send: far smaller than this.
inline constexpr std::uintmax_t kLargestReport = 16 * 1024 * 1024;

// The whole text of the report file at `path` (UTF-8). Throws tunelift::Error:
// errnum::kFileNotFound when there is none, errnum::kInvalidFileFormat when it is larger than
// kLargestReport, another number when it cannot be read.
std::string ReadReportFile(const std::string& path);

// The report in the file at `path`, as ParseUploadReport reads it. Throws as ReadReportFile
// does, and errnum::kInvalidFileFormat, naming the path, for a report not in its format.
UploadReport ReadUploadReport(const std::string& path);

}  // namespace tunelift
