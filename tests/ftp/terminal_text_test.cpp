// What reaches the user's terminal: control characters in every encoding, invisible format
// characters (marks that reorder a line, zero-width ones), line separators and bytes that are
// not UTF-8 show as "?", from whichever source they come.
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
      {"\x1b]0;title\x07 \r\n\b\x7f", "?]0;title? ????"},  // C0 and DEL
      {"\x9b"
       "31m \x85",
       "?31m ?"},  // C1 as single bytes
      {"\xc2\x9b"
       "31m \xc2\x80\xc2\x9f\xc2\xa0",
       "?31m ??\xc2\xa0"},  // C1 as UTF-8; NBSP stays
      {"\xe2\x80\xae"
       "3pm.exe \xe2\x81\xa6 \xe2\x80\xa8",
       "?3pm.exe ? ?"},                                                       // reordering, breaks
      {"\xff\xfe \xc0\x80 \xed\xa0\x80 \xf4\x90\x80\x80", "?? ?? ??? ????"},  // invalid, overlong
      {"\x80\xbf cut \xe2\x82", "?? cut ??"},  // stray continuations, a sequence cut short
      {std::string_view("nul\0byte", 8), "nul?byte"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TerminalSafe(c.text), c.shown) << c.text;
  }
}

// `code` in UTF-8, written out here rather than by the code under test.
std::string Utf8(char32_t code) {
  const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
  if (code < 0x80) {
    return {byte(code)};
  }
  if (code < 0x800) {
    return {byte(0xC0 | code >> 6), byte(0x80 | (code & 0x3F))};
  }
  if (code < 0x10000) {
    return {byte(0xE0 | code >> 12), byte(0x80 | (code >> 6 & 0x3F)), byte(0x80 | (code & 0x3F))};
  }
  return {byte(0xF0 | code >> 18), byte(0x80 | (code >> 12 & 0x3F)),
          byte(0x80 | (code >> 6 & 0x3F)), byte(0x80 | (code & 0x3F))};
}

TEST(FtpTerminalSafe, ShowsEachInvisibleFormatCharacterAndLineSeparatorAsOneQuestionMark) {
  // The first and last of each run of Unicode's format characters (Cf), and those a file name
  // or a reply is most likely to hide: bidi marks, zero-width ones, the BOM, the soft hyphen.
  const char32_t invisible[] = {
      0x00AD,  0x0600,  0x0605,  0x061C,  0x06DD,  0x070F,  0x0890,  0x0891,  0x08E2,  0x180E,
      0x200B,  0x200C,  0x200D,  0x200E,  0x200F,  0x2028,  0x2029,  0x202A,  0x202E,  0x2060,
      0x2064,  0x2066,  0x2069,  0x206A,  0x206F,  0xFEFF,  0xFFF9,  0xFFFB,  0x110BD, 0x110CD,
      0x13430, 0x1343F, 0x1BCA0, 0x1BCA3, 0x1D173, 0x1D17A, 0xE0001, 0xE0020, 0xE007F,
  };
  for (const char32_t code : invisible) {
    EXPECT_EQ(TerminalSafe("a" + Utf8(code) + "b"), "a?b")
        << "U+" << std::hex << static_cast<unsigned>(code);
    EXPECT_EQ(TerminalSafe(Utf8(code) + Utf8(code) + Utf8(code)), "???")
        << "U+" << std::hex << static_cast<unsigned>(code);
  }
  EXPECT_EQ(TerminalSafe("song" + Utf8(0x200E) + Utf8(0x202E) + "3pm.mp3" + Utf8(0x200B)),
            "song??3pm.mp3?");
}

TEST(FtpTerminalSafe, KeepsTheVisibleNeighboursOfTheInvisibleCharacters) {
  const char32_t visible[] = {
      0x00AC, 0x00AE, 0x0606, 0x061B, 0x200A, 0x2010,  0x2027,  0x202F,
      0x2030, 0x205F, 0x2070, 0xFFFC, 0xFFFD, 0x110BE, 0x1BC9F, 0x1F3B5,
  };
  for (const char32_t code : visible) {
    const std::string text = "a" + Utf8(code) + "b";
    EXPECT_EQ(TerminalSafe(text), text) << "U+" << std::hex << static_cast<unsigned>(code);
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
