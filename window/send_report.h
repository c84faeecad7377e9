#pragma once
// What the user is told about a send: the status icon's tooltip while the FTP client runs,
// and the notice when it has ended. Toolkit-free, so that every window says the same.

#include <string>
#include <string_view>

#include "core/upload_outcome.h"

namespace tunelift {

inline constexpr std::string_view kSendingTooltip = "Sending the music\u2026";

struct SendNotice {
  std::string summary;  // one short line
  std::string body;     // one or more lines, separated by LF
  bool failed = false;
};

// The notice for a send to `host` that came to `outcome`: on success how many MP3 files
// went to which server; on failure the client's own reason, and that the staged files are
// still there.
SendNotice NoticeFor(const UploadOutcome& outcome, std::string_view host);

// The notice as one message box's text (summary, then the body, lines ended by CR LF as the
// handlers' boxes are) and the box's style, for a desktop that has no notification service.
std::string MessageBoxText(const SendNotice& notice);
int MessageBoxStyle(const SendNotice& notice);

}  // namespace tunelift
