#pragma once
// What the user is told about a send: the status icon's tooltip while the FTP client runs,
// and the notice when it has ended. Toolkit-free, so that every window says the same.
// The notice is drawn from the client's report (core/upload_report.h), never from the words
// of its transcript; what a server said shows only as that server's reply, and no text from
// the report or a file name shows unfiltered (plain_text.h).

#include <string>
#include <optional>
#include <string_view>

#include "core/upload_outcome.h"

namespace tunelift {

inline constexpr std::string_view kSendingTooltip = "Sending the music\u2026";

struct SendNotice {
  std::string summary;  // one short line
  std::string body;     // one or more lines, separated by LF
  bool failed = false;
};

// The notice for a send to `host` that came to `outcome`: how many MP3 files went and were
// verified (and how many went unverified), each file that did not go with its reason (five
// at most, then how many more), the failures not tied to a file, whether the connection was
// encrypted and the server's identity checked, and, when not everything went, whether the
// music is still staged. Without a whole report the outcome is unknown, and the notice names
// the transcript to read.
SendNotice NoticeFor(const UploadOutcome& outcome, std::string_view host);

// "The music is still being sent (2 of 5 files)." from the running send's report; without
// the figures when there is none yet.
std::string StillSendingText(const std::optional<UploadReport>& report);

// The notice as one message box's text (summary, then the body, lines ended by CR LF as the
// handlers' boxes are) and the box's style, for a desktop that has no notification service.
std::string MessageBoxText(const SendNotice& notice);
int MessageBoxStyle(const SendNotice& notice);

}  // namespace tunelift
