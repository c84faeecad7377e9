#include "window/send_report.h"

#include <algorithm>
#include <vector>

#include "window/dialogs.h"
#include "plain_text.h"

namespace tunelift {
namespace {

constexpr std::string_view kWentSummary = "The music went";
constexpr std::string_view kNotWentSummary = "The music did not go";
constexpr std::string_view kPartlyWentSummary = "Not all the music went";
constexpr std::string_view kUnknownSummary = "How the send ended is unknown";
constexpr std::string_view kStillStaged =
    "The staged files are still there; press \"Send the Music!\" to try again.";
constexpr std::string_view kNoLongerStaged = "No music is staged any more.";
constexpr std::string_view kStoppedSummary = "The send was stopped";
constexpr std::string_view kStoppedLine = "The send was stopped before it ended.";

// The files that did not go that the notice names; the others it counts.
constexpr std::size_t kFilesNamed = 5;
// Characters of a server's reply, a reason, a name and an error's description shown at most.
constexpr std::size_t kLongestReply = 200;
constexpr std::size_t kLongestReason = 300;
constexpr std::size_t kLongestName = 150;
constexpr std::size_t kLongestDescription = 400;
// A file's name in the status icon's tooltip, short enough that Windows shows the tooltip
// whole (127 characters).
constexpr std::size_t kLongestTooltipName = 48;
constexpr std::size_t kLongestTooltipReason = 200;
// Reply codes by which a server turns a request down.
constexpr int kFirstErrorReply = 400;
constexpr int kLastErrorReply = 599;

using Lines = std::vector<std::string>;

std::string Joined(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += (text.empty() ? "" : "\n") + line;
  }
  return text;
}

// "1 MP3 file was" / "3 MP3 files were"
std::string Mp3Files(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " MP3 file was" : " MP3 files were");
}

// What a server said: its words are data, shown only after its code, filtered and cut.
std::string ServerReply(int code, std::string_view text) {
  const std::string words = PlainText(text, kLongestReply);
  return std::to_string(code) + (words.empty() ? "" : " " + words);
}

std::string ExitStatusLine(long long exitStatus) {
  if (exitStatus < 0) {
    return "The FTP client ended, and how it ended could not be learned.";
  }
  return "The FTP client ended with exit status " + std::to_string(exitStatus) + ".";
}

// The files the report says went, and those that did not.
struct Tally {
  std::size_t verified = 0;
  std::size_t unverified = 0;
  std::vector<const ReportedFile*> notGone;
};

Tally Count(const UploadReport& report) {
  Tally tally;
  for (const ReportedFile& file : report.files) {
    if (file.state == FileState::Verified) {
      ++tally.verified;
    } else if (file.state == FileState::SentNotVerified) {
      ++tally.unverified;
    } else {
      tally.notGone.push_back(&file);  // the client has ended: a file it left is not sent
    }
  }
  return tally;
}

Lines SentLines(const Tally& tally, std::string_view host) {
  const std::string server = PlainText(host, kLongestName);
  Lines lines;
  if (tally.verified > 0) {
    lines.push_back(Mp3Files(tally.verified) + " sent to " + server + " and verified.");
  }
  if (tally.unverified > 0) {
    lines.push_back(Mp3Files(tally.unverified) + " sent to " + server +
                    " but not verified: the server could not say what it holds.");
  }
  if (lines.empty()) {
    lines.push_back("No MP3 file was sent to " + server + ".");
  }
  return lines;
}

// Why one file did not go: a server's refusal in its own words, else the client's reason.
// In a send that was stopped, a file the client had not come to waited for the stop.
std::string NotGoneLine(const ReportedFile& file, bool stopped) {
  const std::string name = PlainText(file.name, kLongestName);
  if (file.state == FileState::Waiting) {
    return name + (stopped ? " was not sent: the send was stopped first."
                           : " was not sent: the FTP client did not come to it.");
  }
  if (file.state == FileState::Sending) {
    return name + " was not sent whole: " + std::to_string(file.sent) + " of " +
           std::to_string(file.size) + " bytes went.";
  }
  if (file.replyCode >= kFirstErrorReply && file.replyCode <= kLastErrorReply) {
    return "The server refused " + name + ": " + ServerReply(file.replyCode, file.replyText);
  }
  const std::string reason = PlainText(file.reason, kLongestReason);
  std::string line = name + " was not sent" + (reason.empty() ? "." : ": " + reason);
  if (file.replyCode != 0) {
    line += " (the server's last reply: " + ServerReply(file.replyCode, file.replyText) + ")";
  }
  return line;
}

Lines NotGoneLines(const std::vector<const ReportedFile*>& notGone, bool stopped) {
  Lines lines;
  for (std::size_t i = 0; i < notGone.size() && i < kFilesNamed; ++i) {
    lines.push_back(NotGoneLine(*notGone[i], stopped));
  }
  if (notGone.size() > kFilesNamed) {
    lines.push_back("and " + std::to_string(notGone.size() - kFilesNamed) + " more");
  }
  return lines;
}

// A failure not tied to a file: the client's words, and the server's reply as the server's.
std::string FailureLine(const ReportedFailure& failure) {
  const std::string reason = PlainText(failure.reason, kLongestReason);
  const std::string reply =
      failure.replyCode == 0
          ? std::string()
          : "The server's reply: " + ServerReply(failure.replyCode, failure.replyText);
  if (reason.empty()) {
    return reply.empty() ? "The FTP client failed and gave no reason." : reply;
  }
  return "The FTP client said: " + reason + (reply.empty() ? "" : " " + reply);
}

Lines FailureLines(const std::vector<ReportedFailure>& failures) {
  Lines lines;
  for (std::size_t i = 0; i < failures.size() && i < kFilesNamed; ++i) {
    lines.push_back(FailureLine(failures[i]));
  }
  if (failures.size() > kFilesNamed) {
    lines.push_back("and " + std::to_string(failures.size() - kFilesNamed) + " more");
  }
  return lines;
}

std::string ConnectionLine(const UploadReport& report) {
  std::string line;
  if (report.encryption) {
    switch (*report.encryption) {
      case Encryption::Everything: line = "The connection was encrypted."; break;
      case Encryption::CommandsOnly:
        line = "Only the commands were encrypted: the server refused to encrypt the files.";
        break;
      case Encryption::None: line = "The connection was not encrypted."; break;
    }
  }
  if (report.identity) {
    line += line.empty() ? "" : " ";
    switch (*report.identity) {
      case ServerIdentity::Verified: line += "The server's identity was verified."; break;
      case ServerIdentity::NotVerified:
        line +=
            "The server's identity could not be verified (a self-signed or unknown "
            "certificate).";
        break;
      case ServerIdentity::NotChecked: line += "The server's identity was not checked."; break;
    }
  }
  return line.empty() ? "No connection to the server was made." : line;
}

// Whether the music is still there to send again; nothing when it was not looked at.
Lines StagedLines(const UploadOutcome& outcome) {
  if (outcome.musicStaged) {
    return {std::string(*outcome.musicStaged ? kStillStaged : kNoLongerStaged)};
  }
  if (outcome.stagingError) {
    return {"Whether music is still staged could not be learned: " +
            PlainText(outcome.stagingError->description(), kLongestDescription)};
  }
  return {};
}

void Append(Lines& lines, const Lines& more) {
  lines.insert(lines.end(), more.begin(), more.end());
}

SendNotice KnownNotice(const UploadOutcome& outcome, const UploadReport& report,
                       std::string_view host) {
  const Tally tally = Count(report);
  // The exit status of the process is the one to believe; the report's stands in for a lost one.
  const long long exitStatus =
      outcome.exitStatus >= 0 ? outcome.exitStatus : static_cast<long long>(*report.exitStatus);
  const bool troubleTold = !tally.notGone.empty() || !report.failures.empty();
  const bool anyWent = tally.verified + tally.unverified > 0;
  const bool allWent = anyWent && !troubleTold && exitStatus == 0 && *report.exitStatus == 0;
  Lines lines = SentLines(tally, host);
  Append(lines, FailureLines(report.failures));
  Append(lines, NotGoneLines(tally.notGone, false));
  if (!troubleTold && exitStatus != 0) {
    lines.push_back(ExitStatusLine(exitStatus));
  }
  lines.push_back(ConnectionLine(report));
  if (!allWent) {
    Append(lines, StagedLines(outcome));
  }
  const std::string_view summary =
      allWent ? kWentSummary : (anyWent ? kPartlyWentSummary : kNotWentSummary);
  return {std::string(summary), Joined(lines), !allWent};
}

// A send stopped before its end: what its report said had gone by then. The client was
// ended before it could write its closing record, and its exit status is the stop's.
SendNotice StoppedNotice(const UploadOutcome& outcome, const UploadReport& report,
                         std::string_view host) {
  const Tally tally = Count(report);
  Lines lines = SentLines(tally, host);
  lines.push_back(std::string(kStoppedLine));
  Append(lines, FailureLines(report.failures));
  Append(lines, NotGoneLines(tally.notGone, true));
  lines.push_back(ConnectionLine(report));
  if (!tally.notGone.empty() || !report.failures.empty()) {
    Append(lines, StagedLines(outcome));
  }
  const auto failed = [](const ReportedFile* file) { return file->state == FileState::Failed; };
  const bool anyFailed = !report.failures.empty() || std::ranges::any_of(tally.notGone, failed);
  return {std::string(kStoppedSummary), Joined(lines), anyFailed};
}

// A send stopped before its client had written a report it could be read from.
std::string StoppedUnknownLine(const UploadOutcome& outcome) {
  if (outcome.reportError && outcome.reportError->number() == errnum::kFileNotFound) {
    return "The send was stopped before the FTP client wrote its report, so what went is "
           "unknown.";
  }
  return "The send was stopped, and the FTP client's report could not be read, so what went "
         "is unknown.";
}

// Without a whole report nothing is known of what went: the transcript may tell a person.
SendNotice UnknownNotice(const UploadOutcome& outcome) {
  Lines lines;
  if (outcome.stopped) {
    lines.push_back(StoppedUnknownLine(outcome));
    if (outcome.reportError && outcome.reportError->number() != errnum::kFileNotFound) {
      lines.push_back(PlainText(outcome.reportError->description(), kLongestDescription));
    }
  } else if (outcome.report) {
    lines.push_back(
        "The FTP client's report stops before its end, so how the send ended is "
        "unknown.");
  } else if (outcome.reportError && outcome.reportError->number() == errnum::kFileNotFound) {
    lines.push_back("The FTP client left no report, so how the send ended is unknown.");
  } else {
    lines.push_back(
        "The FTP client's report could not be read, so how the send ended is "
        "unknown.");
    if (outcome.reportError) {
      lines.push_back(PlainText(outcome.reportError->description(), kLongestDescription));
    }
  }
  lines.push_back("Read its transcript to learn more: " +
                  PlainText(outcome.transcript, kLongestDescription));
  if (!outcome.stopped) {
    lines.push_back(ExitStatusLine(outcome.exitStatus));
  }
  Append(lines, StagedLines(outcome));
  return {std::string(outcome.stopped ? kStoppedSummary : kUnknownSummary), Joined(lines), true};
}

// The share of `size` that `sent` is, in whole per cent, never rounded up to a whole file.
std::uint64_t Percent(std::uint64_t sent, std::uint64_t size) {
  if (size == 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(100.0L * static_cast<long double>(sent) /
                                    static_cast<long double>(size));
}

// `bytes` in `unit`, rounded to the nearest; with `tenths`, to the nearest tenth.
std::string InUnit(std::uint64_t bytes, std::uint64_t unit, bool tenths) {
  const std::uint64_t step = tenths ? unit / 10 : unit;
  const std::uint64_t steps = bytes / step + (bytes % step >= step - step / 2 ? 1 : 0);
  return tenths ? std::to_string(steps / 10) + "." + std::to_string(steps % 10)
                : std::to_string(steps);
}

}  // namespace

SendNotice NoticeFor(const UploadOutcome& outcome, std::string_view host) {
  if (outcome.report && outcome.report->exitStatus) {
    return KnownNotice(outcome, *outcome.report, host);
  }
  if (outcome.stopped && outcome.report) {
    return StoppedNotice(outcome, *outcome.report, host);
  }
  return UnknownNotice(outcome);
}

std::string ByteCounts(std::uint64_t sent, std::uint64_t size) {
  struct Unit {
    std::uint64_t bytes;
    std::string_view name;
  };
  static constexpr Unit kUnits[] = {{1'000'000'000, "GB"}, {1'000'000, "MB"}, {1'000, "kB"}};
  for (const Unit& unit : kUnits) {
    if (size >= unit.bytes) {
      const bool tenths = size < 10 * unit.bytes;
      return InUnit(sent, unit.bytes, tenths) + " of " + InUnit(size, unit.bytes, tenths) + " " +
             std::string(unit.name);
    }
  }
  return std::to_string(sent) + " of " + std::to_string(size) + " bytes";
}

std::string SendingTooltip(const UploadProgress& progress) {
  if (progress.reportError) {
    return std::string(kSendingTooltip) + " (its progress cannot be read: " +
           PlainText(progress.reportError->description(), kLongestTooltipReason) + ")";
  }
  if (!progress.progress || progress.progress->fileNumber == 0) {
    return std::string(kSendingTooltip);
  }
  const SendProgress& now = *progress.progress;
  return "Sending " + std::to_string(now.fileNumber) + " of " + std::to_string(now.fileCount) +
         ": " + PlainText(now.fileName, kLongestTooltipName) + ", " +
         std::to_string(Percent(now.fileSent, now.fileSize)) + " % (" +
         ByteCounts(now.fileSent, now.fileSize) + ")";
}

std::string MessageBoxText(const SendNotice& notice) {
  std::string text = notice.summary + "\r\n";
  for (char c : notice.body) {
    text += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  return text;
}

int MessageBoxStyle(const SendNotice& notice) {
  return msgbox::kOkOnly | (notice.failed ? msgbox::kIconExclamation : msgbox::kIconInformation);
}

std::string StillSendingText(const std::optional<UploadReport>& report) {
  constexpr std::string_view kStillSending = "The music is still being sent";
  if (!report || report->files.empty()) {
    return std::string(kStillSending) + ".";
  }
  const auto done = std::ranges::count_if(report->files, [](const ReportedFile& file) {
    return file.state != FileState::Waiting && file.state != FileState::Sending;
  });
  const auto total = static_cast<std::ptrdiff_t>(report->files.size());
  // The file on its way counts as the one being sent, not yet as done.
  const auto current = std::min(done + 1, total);
  return std::string(kStillSending) + " (" + std::to_string(current) + " of " +
         std::to_string(total) + (total == 1 ? " file)." : " files).");
}

}  // namespace tunelift
