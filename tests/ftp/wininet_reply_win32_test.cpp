// What the WinINet transport reads out of the server's replies.
#include "ftp/wininet_reply.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunelift::ftp {
namespace {

using Lines = std::vector<std::string>;

TEST(FtpWinInetReply, TakesTheCodeAndWordsFromTheLastLine) {
  struct Case {
    Lines lines;
    int code;
    std::string text;
  };
  const Case cases[] = {
      {{"550 No such file."}, 550, "No such file."},
      {{"211-Features:", " REST STREAM", "211 End"}, 211, "End"},
      {{"226"}, 226, ""},
      {{"421-Closing"}, 421, "Closing"},
      {{}, 0, ""},
      {{"Hello there"}, 0, ""},
      {{"55 short"}, 0, ""},
      {{"2130 too long"}, 0, ""},
  };
  for (const Case& c : cases) {
    const ServerReply reply = ReplyOf(c.lines);
    EXPECT_EQ(reply.code, c.code) << (c.lines.empty() ? "(none)" : c.lines.back());
    EXPECT_EQ(reply.text, c.text) << (c.lines.empty() ? "(none)" : c.lines.back());
  }
}

TEST(FtpWinInetReply, ReadsASizeOnlyFromA213ReplyWithANumber) {
  struct Case {
    std::string line;
    std::optional<std::int64_t> size;
  };
  const Case cases[] = {
      {"213 1000", 1000},
      {"213 0", 0},
      {"213 12345678901", 12345678901},
      {"213", std::nullopt},
      {"213 ", std::nullopt},
      {"213 12ab", std::nullopt},
      {"213 -5", std::nullopt},
      {"550 a.mp3: No such file.", std::nullopt},
      {"200 1000", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SizeIn({c.line}), c.size) << c.line;
  }
}

TEST(FtpWinInetReply, FindsRestStreamAmongTheFeatures) {
  struct Case {
    Lines lines;
    bool listed;
  };
  const Case cases[] = {
      {{"211-Features:", " MDTM", " REST STREAM", " SIZE", "211 End"}, true},
      {{"211-Features:", " rest stream", "211 End"}, true},
      {{"211-Features:", "REST STREAM", "211 End"}, true},
      {{"211-Features:", " MDTM", " SIZE", "211 End"}, false},
      {{"211-Features:", " REST", "211 End"}, false},
      {{"211-Features:", " REST STREAMING", "211 End"}, false},
      {{"211 REST STREAM"}, false},
      {{"211 End FEAT."}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ListsRestStream(c.lines), c.listed) << c.lines.size() << " lines";
  }
}

}  // namespace
}  // namespace tunelift::ftp
