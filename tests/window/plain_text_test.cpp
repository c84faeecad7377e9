// Text from elsewhere made fit for a notice: one line, valid UTF-8, nothing that steers.

#include "window/plain_text.h"

#include <gtest/gtest.h>

namespace tunelift::testing {
namespace {

using namespace std::string_literals;

TEST(PlainText, KeepsPlainTextAndLeavesOutWhatCouldSteerOrHide) {
  struct Case {
    std::string text;
    std::string plain;
  };
  const Case cases[] = {
      {"Transfer complete.", "Transfer complete."},
      {"\xC3\x89t\xC3\xA9 \xE2\x99\xAB.mp3", "\xC3\x89t\xC3\xA9 \xE2\x99\xAB.mp3"},
      {"two  spaces stay", "two  spaces stay"},
      {"a\r\nb\tc\n\n\nd", "a b c d"},
      {"\r\n  padded \r\n", "  padded "},  // breaks at the ends go
      {"line\xE2\x80\xA8sep\xE2\x80\xA9par\xC2\x85nel", "line sep par nel"},
      {"\x1b[31mred\x1b[0m", "[31mred[0m"},
      {"bell\x07 nul"s + '\0' + "del\x7f", "bell nuldel"},
      {"csi\xC2\x9B"
       "2J",
       "csi2J"},
      {"abc\xE2\x80\xAE"
       "3pm.mp3",
       "abc3pm.mp3"},  // right-to-left override
      {"a\xE2\x80\x8B"
       "b\xEF\xBB\xBF"
       "c\xE2\x81\xA6"
       "d\xD8\x9C"
       "e",
       "abcde"},
      {"bad \xFF\xFE bytes \xC3", "bad \xEF\xBF\xBD\xEF\xBF\xBD bytes \xEF\xBF\xBD"},
      {"\xE0\x80\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // an overlong "/"
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlainText(c.text, 100), c.plain) << c.text;
  }
}

TEST(PlainText, CutsALongTextAtAWholeCharacter) {
  EXPECT_EQ(PlainText("abcdef", 6), "abcdef");
  EXPECT_EQ(PlainText("abcdefg", 6), "abcdef\xE2\x80\xA6");
  EXPECT_EQ(PlainText("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9\xE2\x80\xA6");
  EXPECT_EQ(PlainText(std::string(100000, 'x'), 200).size(), 200u + 3u);
}

}  // namespace
}  // namespace tunelift::testing
