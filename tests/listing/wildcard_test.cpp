#include "listing/wildcard.h"

#include <gtest/gtest.h>

namespace tunelift {
namespace {

struct Case {
  const char* pattern;
  const char* name;
  bool matches;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.pattern << " ~ " << c.name;
}

class WildcardMatchTable : public ::testing::TestWithParam<Case> {};

TEST_P(WildcardMatchTable, MatchesAsWindowsNamesDo) {
  const Case& c = GetParam();
  EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, WildcardMatchTable,
    ::testing::Values(Case{"*.mp3", "song.mp3", true}, Case{"*.mp3", "SONG.MP3", true},
                      Case{"*.MP3", "song.mp3", true}, Case{"*.mp3", "song.mp3.wav", false},
                      Case{"*.mp3", "song.mp", false}, Case{"*.mp3", ".mp3", true},
                      Case{"*.mp3", "a.b.mp3", true}, Case{"*.*", "README", true},
                      Case{"*.*", ".hidden", true}, Case{"*", "anything at all", true},
                      Case{"?.mp3", "a.mp3", true}, Case{"?.mp3", "ab.mp3", false},
                      Case{"a*b*c", "aXbYc", true}, Case{"a*b*c", "aXbYcZ", false},
                      Case{"a*b*c", "abcbc", true}, Case{"**x", "abx", true}, Case{"", "", true},
                      Case{"", "a", false}, Case{"song", "SONG", true},
                      Case{"Ünïcode*.mp3", "Ünïcode track.mp3", true},
                      Case{"ÉTÉ*.MP3", "été indien.mp3", true}, Case{"*ß*", "STRASSE", false},
                      Case{"?.mp3", "é.mp3", true}, Case{"??.mp3", "é.mp3", false},
                      Case{"*.mp3", "\xff\xfe.mp3", true}, Case{"\xc3.mp3", "\xe3.mp3", false}));

TEST(HasWildcard, FindsStarsAndQuestionMarksOnly) {
  EXPECT_TRUE(HasWildcard("*.mp3"));
  EXPECT_TRUE(HasWildcard("a?.mp3"));
  EXPECT_FALSE(HasWildcard("[a].mp3"));
  EXPECT_FALSE(HasWildcard("sendfiles.ftps"));
}

}  // namespace
}  // namespace tunelift
