#pragma once
// What the server said, as WinINet keeps it: the last reply it read on this thread
// (InternetGetLastResponseInfoW), and what the WinINet transport reads out of it. WinINet on
// Windows keeps every line of a reply; Wine's keeps only the last line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transport.h"

namespace tunelift::ftp {

// The lines of the last reply WinINet kept for this thread, without line ends; none when it
// keeps none.
std::vector<std::string> LastReplyLines();

// The code and words of a reply's last line: "550 No such file." gives {550, "No such
// file."}; code 0 when the line does not start with a three-digit code.
ServerReply ReplyOf(const std::vector<std::string>& lines);

// The size a "213 N" reply to SIZE gives; nullopt for any other reply.
std::optional<std::int64_t> SizeIn(const std::vector<std::string>& lines);

// Whether the lines of a reply to FEAT list "REST STREAM" (RFC 3659): the server can restart
// a store at an offset.
bool ListsRestStream(const std::vector<std::string>& lines);

}  // namespace tunelift::ftp
