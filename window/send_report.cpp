#include "window/send_report.h"

#include "window/dialogs.h"

namespace tunelift {
namespace {

constexpr std::string_view kWentSummary = "The music went";
constexpr std::string_view kNotWentSummary = "The music did not go";
constexpr std::string_view kStillStaged =
    "The staged files are still there; press \"Send the Music!\" to try again.";

// "1 MP3 file was sent to HOST." / "3 MP3 files were sent to HOST."
std::string FilesSent(int count, std::string_view host) {
  const std::string files = count == 1 ? " MP3 file was sent to " : " MP3 files were sent to ";
  return std::to_string(count) + files + std::string(host) + ".";
}

// What the client gave as its reason; its exit status when it gave none.
std::string Reason(const UploadOutcome& outcome) {
  if (!outcome.reason.empty()) {
    return "The FTP client said: " + outcome.reason;
  }
  if (outcome.exitStatus < 0) {
    return "The FTP client ended, and how it ended could not be learned.";
  }
  return "The FTP client ended with exit status " + std::to_string(outcome.exitStatus) +
         " and gave no reason.";
}

}  // namespace

SendNotice NoticeFor(const UploadOutcome& outcome, std::string_view host) {
  if (outcome.allSent) {
    // Without its transcript the count is unknown, but not where the music went.
    const std::string body = outcome.filesSent
                                 ? FilesSent(*outcome.filesSent, host)
                                 : "The music was sent to " + std::string(host) + ".";
    return {std::string(kWentSummary), body, false};
  }
  std::string body = Reason(outcome) + "\n";
  if (outcome.filesSent.value_or(0) > 0) {
    body += FilesSent(*outcome.filesSent, host) + "\n";
  }
  body += kStillStaged;
  return {std::string(kNotWentSummary), body, true};
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

}  // namespace tunelift
