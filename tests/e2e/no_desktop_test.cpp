// The real program started where no desktop answers: it says so plainly and ends with status 1,
// without Qt's abort and its advice about platform plugins.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/child_process.h"

namespace tunelift::test {
namespace {

namespace fs = std::filesystem;

// Runs Tunelift with every way to a display emptied, then `display` set.
ProgramResult StartTunelift(const std::string& display) {
  ProgramRun run;
  run.program = TUNELIFT_PROGRAM;
  run.environment = {{"QT_QPA_PLATFORM", ""},
                     {"WAYLAND_DISPLAY", ""},
                     {"XDG_SESSION_TYPE", ""},
                     {"DISPLAY", display}};
  return RunProgram(run);
}

void ExpectPlainRefusal(const ProgramResult& result) {
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errors.find("Tunelift needs a desktop"), std::string::npos) << result.errors;
  EXPECT_EQ(result.errors.find("platform plugin"), std::string::npos) << result.errors;
  EXPECT_EQ(result.output, "");
}

TEST(NoDesktop, WithoutADisplayTuneliftSaysItNeedsADesktop) {
  const ProgramResult result = StartTunelift("");
  ExpectPlainRefusal(result);
  EXPECT_NE(result.errors.find("DISPLAY is not set"), std::string::npos) << result.errors;
}

TEST(NoDesktop, ADisplayThatDoesNotAnswerIsNamed) {
  int number = 9000;
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number))) {
    ++number;
  }
  const std::string display = ":" + std::to_string(number);
  const ProgramResult result = StartTunelift(display);
  ExpectPlainRefusal(result);
  EXPECT_NE(result.errors.find("DISPLAY=" + display), std::string::npos) << result.errors;
}

}  // namespace
}  // namespace tunelift::test
