// Stands in for ftp.exe, the same on every platform (see replay_client.h): appends one line to
// ftp-runs.txt in the folder it was started in, holding that folder and then each argument,
// separated by tabs. When the folder holds ftp-report.txt and the environment names a report
// file in TUNELIFT_FTP_REPORT, it writes that text there as the client does: into NAME.part,
// then renamed over NAME. Then, while the folder holds ftp-hold, it waits, and writes the
// report again from ftp-report.txt as it is then. When the folder
// holds ftp-replay.txt, it writes that file's lines after the first to standard output and
// exits with the status on its first line. Otherwise it exits with 0.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

bool Record(int argc, char* argv[]) {
  std::string record = std::filesystem::current_path().string();
  for (int i = 1; i < argc; ++i) {
    record += '\t';
    record += argv[i];
  }
  record += '\n';
  // One write of one short line: runs started together do not interleave their records.
  std::ofstream runs("ftp-runs.txt", std::ios::app | std::ios::binary);
  runs << record;
  runs.flush();
  return static_cast<bool>(runs);
}

void WaitForRelease() {
  // The script stays open meanwhile, as the real client keeps it while it sends.
  const std::ifstream script("sendfiles.ftps", std::ios::binary);
  std::error_code ignored;  // a hold that cannot be seen holds nothing
  while (std::filesystem::exists("ftp-hold", ignored)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// False when a report was asked for and could not be written.
bool WriteReport() {
  const char* reportPath = std::getenv("TUNELIFT_FTP_REPORT");
  std::ifstream given("ftp-report.txt", std::ios::binary);
  if (reportPath == nullptr || !given) {
    return true;
  }
  // In the system's narrow encoding, as getenv gives it and a narrow path takes it.
  const std::filesystem::path report(reportPath);
  std::filesystem::path part = report;
  part += ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << given.rdbuf();
    if (!out.flush()) {
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(part, report, error);
  return !error;
}

int Replay() {
  std::ifstream replay("ftp-replay.txt", std::ios::binary);
  int status = 0;
  std::string line;
  if (replay && std::getline(replay, line)) {
    status = std::stoi(line);
  }
  while (std::getline(replay, line)) {
    std::cout << line << '\n';
  }
  return status;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!Record(argc, argv)) {
    return 1;
  }
  // The report as it stands while the send runs, then as the test has it when it lets go.
  if (!WriteReport()) {
    return 1;
  }
  WaitForRelease();
  if (!WriteReport()) {
    return 1;
  }
  return Replay();
}
