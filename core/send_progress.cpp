#include "core/send_progress.h"

#include <algorithm>

#include "core/upload_outcome.h"

namespace tunelift {
namespace {

bool Finished(FileState state) {
  return state == FileState::Verified || state == FileState::SentNotVerified ||
         state == FileState::Failed;
}

// The place of the file in flight: the first being sent, else the last finished one; none
// before any has started.
std::optional<std::size_t> FileInFlight(const UploadReport& report) {
  const auto& files = report.files;
  const auto sending = std::ranges::find(files, FileState::Sending, &ReportedFile::state);
  if (sending != files.end()) {
    return static_cast<std::size_t>(sending - files.begin());
  }
  for (std::size_t i = files.size(); i > 0; --i) {
    if (Finished(files[i - 1].state)) {
      return i - 1;
    }
  }
  return std::nullopt;
}

double ShareDone(const UploadReport& report) {
  // Long double: the sums of 64-bit sizes stay exact as far as a share needs.
  long double total = 0;
  long double done = 0;
  std::size_t filesFinished = 0;
  for (const ReportedFile& file : report.files) {
    total += static_cast<long double>(file.size);
    if (Finished(file.state)) {
      done += static_cast<long double>(file.size);
      ++filesFinished;
    } else {
      done += static_cast<long double>(std::min(file.sent, file.size));
    }
  }
  if (total > 0) {
    return static_cast<double>(done / total);
  }
  return report.files.empty()
             ? 0.0
             : static_cast<double>(filesFinished) / static_cast<double>(report.files.size());
}

}  // namespace

SendProgress ProgressOf(const UploadReport& report) {
  SendProgress progress;
  progress.fileCount = report.files.size();
  progress.done = ShareDone(report);
  if (const std::optional<std::size_t> place = FileInFlight(report)) {
    const ReportedFile& file = report.files[*place];
    progress.fileNumber = *place + 1;
    progress.fileName = file.name;
    progress.fileSent = std::min(file.sent, file.size);
    progress.fileSize = file.size;
  }
  return progress;
}

UploadProgress ReadUploadProgress(const std::string& reportFile) {
  UploadProgress progress;
  try {
    progress.progress = ProgressOf(ReadUploadReport(reportFile));
  } catch (const Error& error) {
    // The client writes its first report once it has something to tell.
    if (error.number() != errnum::kFileNotFound) {
      progress.reportError = error;
    }
  }
  return progress;
}

}  // namespace tunelift
