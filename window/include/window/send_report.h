#pragma once
// What the user is told about a send: the status icon's tooltip while the FTP client runs,
// and the notice when it has ended. Toolkit-free, so that every window says the same.
// The notice is drawn from the client's report (core/upload_report.h), never from the words
// of its transcript; what a server said shows only as that server's reply, and no text from
// the report or a file name shows unfiltered (plain_text.h).

#include <cstdint>
#include <string>
#include <optional>
#include <string_view>

#include "core/send_progress.h"
#include "core/upload_outcome.h"

namespace tunelift {

// The status icon's tooltip before the first file of a send has started.
inline constexpr std::string_view kSendingTooltip = "Sending the music\u2026";

// The status icon's tooltip while a send runs: the file in flight, its number among the
// files and the bytes the server holds of it ("Sending 2 of 5: song.mp3, 40 % (12 of 30
// MB)"); before the first file has started, kSendingTooltip; kSendingTooltip and why when
// the report cannot be read.
std::string SendingTooltip(const UploadProgress& progress);

// "12 of 30 MB": `sent` and `size` bytes in the one unit (bytes, kB, MB, GB; 1 kB = 1000
// bytes) that suits `size`, with a tenth under ten of it.
std::string ByteCounts(std::uint64_t sent, std::uint64_t size);

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
// the transcript to read. A send stopped before its end (outcome.stopped) says so, and what
// its report said had gone by then.
SendNotice NoticeFor(const UploadOutcome& outcome, std::string_view host);

// "The music is still being sent (2 of 5 files)." from the running send's report; without
// the figures when there is none yet.
std::string StillSendingText(const std::optional<UploadReport>& report);

// The notice as one message box's text (summary, then the body, lines ended by CR LF as the
// handlers' boxes are) and the box's style, for a desktop that has no notification service.
std::string MessageBoxText(const SendNotice& notice);
int MessageBoxStyle(const SendNotice& notice);

}  // namespace tunelift
