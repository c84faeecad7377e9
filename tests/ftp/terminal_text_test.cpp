// What reaches the user's terminal: control characters in every encoding, marks that reorder
// a line and bytes that are not UTF-8 show as "?", from whichever source they come.
#include <gtest/gtest.h>

#include <sstream>

#include "ftp/console.h"

namespace tunelift::ftp {
namespace {

TEST(FtpTerminalSafe, ShowsWhatATerminalWouldActOnAsQuestionMarks) {
  const struct {
    std::string_view text;
    std::string_view shown;
  } cases[] = {
      {"plain text\twith a tab", "plain text\twith a tab"},
      {"Grüße, 東京, 🎵", "Grüße, 東京, 🎵"},
      {"\x1b]0;title\x07 \r\n\b\x7f", "?]0;title? ????"},               // C0 and DEL
      {"\x9b" "31m \x85", "?31m ?"},                                      // C1 as single bytes
      {"\xc2\x9b" "31m \xc2\x80\xc2\x9f\xc2\xa0", "?31m ??\xc2\xa0"},     // C1 as UTF-8; NBSP stays
      {"\xe2\x80\xae" "3pm.exe \xe2\x81\xa6 \xe2\x80\xa8", "?3pm.exe ? ?"}, // reordering, breaks
      {"\xff\xfe \xc0\x80 \xed\xa0\x80 \xf4\x90\x80\x80", "?? ?? ??? ????"}, // invalid, overlong
      {"\x80\xbf cut \xe2\x82", "?? cut ??"},  // stray continuations, a sequence cut short
      {std::string_view("nul\0byte", 8), "nul?byte"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TerminalSafe(c.text), c.shown) << c.text;
  }
}

TEST(FtpTerminalSafe, EveryWayOfTheConsoleGoesThroughIt) {
  const std::string hostile = "a\x1b[2J\xc2\x9b\xff";
  const std::string shown = "a?[2J??";
  std::ostringstream out;
  Console console(out, {.showReplies = true, .showCommands = true, .showProgress = true});
  console.Echo(hostile);
  console.Say(hostile);
  console.Error(hostile);
  console.OnReply(hostile);
  console.OnCommandSent(hostile);
  console.OnConnected(hostile);
  console.BeginFile(hostile);
  console.OnProgress(1, 2);
  console.Ask(hostile);
  EXPECT_EQ(out.str(), "ftp> " + shown + "\n" + shown + "\nftp: " + shown + "\n" + shown +
                           "\n---> " + shown + "\nConnected to " + shown + ".\n\r" + shown +
                           ":  50% (1 of 2 bytes)\n" + shown);
}

}  // namespace
}  // namespace tunelift::ftp
