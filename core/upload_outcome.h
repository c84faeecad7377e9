#pragma once
// What one send came to, read from the FTP client's exit status and its transcript. The
// client speaks the Windows client's dialect: its own messages begin with "ftp: ", and it
// reports each file it sent as "ftp: N bytes sent in S Seconds R Kbytes/sec.".

#include <optional>
#include <string>
#include <string_view>

namespace tunelift {

struct UploadOutcome {
  int exitStatus = -1;
  // Exit status 0: the client connected, logged in and sent every file it was given.
  bool allSent = false;
  // The files the client reported as sent; none when its transcript could not be read.
  std::optional<int> filesSent;
  // The client's first complaint, without its "ftp: " prefix; later ones mostly follow from
  // it ("Not connected." after a failed connection). Empty when it made none.
  std::string reason;
};

// The outcome of a client that ended with `exitStatus` and wrote `transcript` (line ends LF
// or CR LF); std::nullopt for a transcript that could not be read.
UploadOutcome ReadUploadOutcome(int exitStatus, const std::optional<std::string>& transcript);

// The whole text of the file at `path` (the platform's own path text, UTF-8); std::nullopt
// when it cannot be read.
std::optional<std::string> ReadTranscript(const std::string& path);

}  // namespace tunelift
