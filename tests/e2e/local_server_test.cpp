// scripts/with-local-ftp-server, behind ./run --local: the command it runs reaches the local
// server, its exit status is the command's, and neither the server nor a temporary file
// outlives it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace tunelift::test {
namespace {

namespace fs = std::filesystem;

class LocalServer : public ::testing::Test {
protected:
  ProgramResult RunBeside(std::vector<std::string> command, const fs::path& workingFolder = {}) {
    std::vector<std::string> arguments{"--root", received_.path().string()};
    arguments.insert(arguments.end(), command.begin(), command.end());
    ProgramRun run;
    run.program = TUNELIFT_WITH_LOCAL_FTP_SERVER;
    run.arguments = arguments;
    run.environment = {{"TMPDIR", temporary_.path().string()}};
    run.workingFolder = workingFolder;
    return RunProgram(run);
  }

  // True while any process names the receive folder on its command line: the server does.
  bool ServerRuns() const {
    for (const fs::directory_entry& process : fs::directory_iterator("/proc")) {
      std::ifstream commandLine(process.path() / "cmdline", std::ios::binary);
      const std::string text(std::istreambuf_iterator<char>(commandLine), {});
      if (text.find(received_.path().string()) != std::string::npos) {
        return true;
      }
    }
    return false;
  }

  TempFolder received_;
  TempFolder temporary_;
};

TEST_F(LocalServer, TheCommandSendsToItAndNothingOutlivesIt) {
  TempFolder work;
  work.Write("song.mp3", "the tune");
  work.Write("send.ftps",
             "open tunelift.example.net\nDeckHopper\nMovingTracks\nbinary\nput song.mp3\nbye\n");
  const ProgramResult result = RunBeside({FTP_EXE, "-s:send.ftps"}, work.path());
  EXPECT_EQ(result.exitCode, 0) << result.output << result.errors;
  EXPECT_NE(result.output.find("Receiving on 127.0.0.1:"), std::string::npos) << result.output;
  EXPECT_EQ(ReadFile(received_.path() / "song.mp3"), "the tune");
  EXPECT_TRUE(fs::is_empty(temporary_.path()));
  EXPECT_FALSE(ServerRuns());
}

TEST_F(LocalServer, EndsWithTheCommandsExitStatus) {
  const ProgramResult result = RunBeside({"/bin/sh", "-c", "exit 3"});
  EXPECT_EQ(result.exitCode, 3) << result.errors;
  EXPECT_TRUE(fs::is_empty(temporary_.path()));
  EXPECT_FALSE(ServerRuns());
}

}  // namespace
}  // namespace tunelift::test
