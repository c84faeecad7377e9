#pragma once
// How far a running send has come, from the report its FTP client rewrites while it sends
// (upload_report.h): the file in flight and the share of the whole send that is done. A
// report read while the client runs has no "end" record yet; that is no fault here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "error.h"
#include "upload_report.h"

namespace tunelift {

struct SendProgress {
  // The file in flight, counted from 1 among fileCount: the first one being sent, else the
  // last one the client is done with. 0 before the first file has started.
  std::size_t fileNumber = 0;
  std::size_t fileCount = 0;
  std::string fileName = {};   // as the report has it: another program's text
  std::uint64_t fileSent = 0;  // the bytes of it the server holds
  std::uint64_t fileSize = 0;
  // The share of the send's bytes the client is done with, from 0 to 1: a file that went or
  // failed counts whole, the file in flight by what the server holds, a waiting one not at
  // all. Where every file is empty, the share of the files.
  double done = 0;
};

// The progress `report` tells.
SendProgress ProgressOf(const UploadReport& report);

// The progress of a running send, or why it cannot be known.
struct UploadProgress {
  // Absent until the client has written its first report, or when the report cannot be read.
  std::optional<SendProgress> progress;
  // Why the report cannot be read; absent while the client has written none yet.
  std::optional<Error> reportError;
};

// The progress the report at `reportFile` tells now. Failures to read it come back in
// reportError, never as an exception: a send goes on whether or not its progress shows.
UploadProgress ReadUploadProgress(const std::string& reportFile);

}  // namespace tunelift
