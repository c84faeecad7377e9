#include "text/wide_text_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tunelift {
namespace {

constexpr std::string_view kNotUtf8 = "song\xff.mp3";
constexpr std::wstring_view kLoneSurrogate = L"song\xd800.mp3";

TEST(WideText, ConvertsUtf8BothWays) {
  const std::string name = "Caf\xc3\xa9 \xe2\x99\xab.mp3";
  const std::wstring wide = WideFromUtf8(name);
  EXPECT_EQ(wide, L"Caf\u00e9 \u266b.mp3");
  EXPECT_EQ(Utf8FromWide(wide), name);
}

TEST(WideText, RefusesTextThatWouldNameAnotherFile) {
  EXPECT_THROW(WideFromUtf8(kNotUtf8), BadText);
  EXPECT_THROW(Utf8FromWide(kLoneSurrogate), BadText);
}

TEST(WideText, ShowsWhatItCannotConvertAsTheReplacementCharacter) {
  EXPECT_EQ(WideForDisplay(kNotUtf8), L"song\xfffd.mp3");
  EXPECT_EQ(Utf8ForDisplay(kLoneSurrogate), "song\xef\xbf\xbd.mp3");
  EXPECT_EQ(Utf8ForDisplay(L""), "");
}

}  // namespace
}  // namespace tunelift
