#pragma once
// The transcript. Every line the user sees passes through one of these helpers, each with its
// fixed form: "ftp> " before an echoed command, "---> " before a command sent to the server,
// "ftp: " before a failure, the server's replies as they came. The stream is the caller's,
// so tests read the transcript exactly as a user would.
// The connections of a parallel mput each have a console of their own over one stream: each
// holds a file's lines and lets them out together, so that no file's lines are split.
// All text leaves through one filter, TerminalSafe: a server, a script or a file name cannot
// steer the user's terminal. Only the console's own line ends pass around it.

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "transport.h"

namespace tunelift::ftp {

struct ConsoleOptions {
  bool showReplies = true;
  bool showCommands = false;
  // One progress line per file, rewritten in place: only where the output is a terminal.
  bool showProgress = false;
};

// "ftp: N bytes sent in S Seconds R Kbytes/sec." as the Windows client reports a file.
std::string TransferSummary(std::int64_t bytes, double seconds);

// `text` as it may reach a terminal: each control character (C0 but the tab, DEL, and C1 as
// a byte or as UTF-8), each Unicode format character (General Category Cf: bidi marks and
// overrides, zero-width characters, the soft hyphen, the byte-order mark, tags), the line and
// paragraph separators, and each byte that is not part of valid UTF-8 shows as "?", one for
// each. Everything else is kept as it is.
std::string TerminalSafe(std::string_view text);

class Console final : public TransportObserver {
public:
  // `out` must outlive the console.
  Console(std::ostream& out, ConsoleOptions options);
  // A console for another connection, on another thread, writing to `main`'s stream with
  // `main`'s options; only Hold and Release keep its lines together. Its lines never go
  // out in the middle of another console's. `main` must outlive it.
  explicit Console(Console& main);

  // From here on the lines wait, until Release writes them out at once, between the lines of
  // other consoles on the same stream, or Discard forgets them. No progress shows meanwhile.
  void Hold();
  void Release();
  void Discard();

  // A command read from the script, as "ftp> COMMAND".
  void Echo(std::string_view command);
  // A line of the client's own.
  void Say(std::string_view text);
  // A question whose answer is typed on the same line (no line end).
  void Ask(std::string_view question);
  // A failure, as "ftp: TEXT".
  void Error(std::string_view text);
  // Starts the progress line of the file about to be sent under `name`.
  void BeginFile(std::string_view name);
  // Ends the progress line and reports the file as sent.
  void EndFile(const StoreResult& result);
  // Shows `text` on a line of its own just before the command `verb` (as sent: "USER") goes
  // to the server, as the Windows client shows its login questions after the connection's
  // greeting. Forgotten unshown at the next echoed command or failure.
  void ShowBefore(std::string_view verb, std::string text);
  // Shows at once what still waits for its command (a transport that does not report the
  // commands of its login).
  void ShowWaiting();

  void OnConnected(std::string_view host) override;
  void OnReply(std::string_view line) override;
  void OnCommandSent(std::string_view line) override;
  void OnControlEncryption(ControlEncryption encryption) override;
  void OnProgress(std::int64_t sent, std::int64_t total) override;

  // The errno of the first write that failed (a closed pipe, a full disk); 0 while none has.
  // Once one has, the rest of the transcript is lost.
  int writeError() const;

private:
  // The stream and what belongs to it, shared by the consoles that write to it.
  struct Output {
    explicit Output(std::ostream& stream) : out(stream) {}
    std::ostream& out;
    std::mutex mutex;
    bool progressOpen = false;
    int writeError = 0;
  };

  // Writes one whole line: `prefix` and `text`, then the line end.
  void WriteLine(std::string_view prefix, std::string_view text);
  // The one place text leaves, through TerminalSafe (only `lineEnd` passes around it): held,
  // or written at once.
  void Put(std::string_view prefix, std::string_view text, std::string_view lineEnd);
  // Writes `text` as it is, on a line of its own, under the stream's lock.
  void Emit(std::string_view text);
  // Ends an open progress line first, so the next text starts on a line of its own. The
  // caller holds the stream's lock.
  void StartLine();
  // Sends what was written on its way and notes a failure to write. The caller holds the
  // stream's lock.
  void Flush();

  std::shared_ptr<Output> output_;
  ConsoleOptions options_;
  std::string fileName_;
  std::vector<std::pair<std::string, std::string>> shownBefore_;  // verb, text
  bool holding_ = false;
  std::string held_;
  int lastPercent_ = -1;
};

}  // namespace tunelift::ftp
