#include "core/command_line.h"

#include <gtest/gtest.h>

namespace tunelift {
namespace {

struct Case {
  const char* line;
  std::vector<std::string> args;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.line;
}

class SplitCommandLineTable : public ::testing::TestWithParam<Case> {};

TEST_P(SplitCommandLineTable, SplitsAsWindowsProgramsDo) {
  EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().args) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitCommandLineTable,
    ::testing::Values(Case{"ftp.exe -s:sendfiles.ftps", {"ftp.exe", "-s:sendfiles.ftps"}},
                      Case{"  ftp.exe \t -v  ", {"ftp.exe", "-v"}}, Case{"", {}}, Case{"   ", {}},
                      Case{R"("C:\Program Files\ftp.exe" -s:a)",
                           {R"(C:\Program Files\ftp.exe)", "-s:a"}},
                      Case{R"(a"b c"d)", {"ab cd"}}, Case{R"(temp\*.mp3)", {R"(temp\*.mp3)"}},
                      Case{R"(a\\"b c")", {R"(a\b c)"}}, Case{R"(a\"b)", {R"(a"b)"}},
                      Case{R"(a\\\"b)", {R"(a\"b)"}}, Case{R"("")", {""}},
                      Case{R"("open end)", {"open end"}}));

}  // namespace
}  // namespace tunelift
