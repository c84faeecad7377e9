// Stands in for ftp.exe, the same on every platform (see replay_client.h): appends one line to
// ftp-runs.txt in the folder it was started in, holding that folder and then each argument,
// separated by tabs. When the folder holds ftp-report.txt and the environment names a report
// file in TUNELIFT_FTP_REPORT, it writes that text's first report there as the client does:
// into NAME.part, then renamed over NAME. Then, while the folder holds ftp-hold, it waits.
// Then it writes the reports of ftp-report.txt as it is by then: the text may hold several,
// each ended by a line of one form feed, written one after another, as the client rewrites
// its report while it sends, with as many milliseconds between them as ftp-report-pause.txt
// says (none without it). When the folder holds ftp-replay.txt, it writes that file's lines
// after the first to standard output and exits with the status on its first line. Otherwise
// it exits with 0.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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

constexpr std::string_view kReportEnd = "\f\n";

std::string ReadWhole(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> GivenReports(const std::string& text) {
  std::vector<std::string> reports;
  std::size_t start = 0;
  for (std::size_t end = text.find(kReportEnd); end != std::string::npos;
       end = text.find(kReportEnd, start)) {
    reports.push_back(text.substr(start, end - start));
    start = end + kReportEnd.size();
  }
  if (start < text.size() || reports.empty()) {
    reports.push_back(text.substr(start));
  }
  return reports;
}

// False when the report could not be written.
bool WriteReport(const std::filesystem::path& report, const std::string& text) {
  std::filesystem::path part = report;
  part += ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
      return false;
    }
  }
  // On Windows a reader that has the report open holds off the rename: try again, as the
  // client does.
  std::error_code error;
  for (int tries = 0; tries < 100; ++tries) {
    std::filesystem::rename(part, report, error);
    if (!error) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// False when a report was asked for and could not be written. `firstOnly`: the report as it
// stands while the send runs.
bool WriteReports(bool firstOnly) {
  const char* reportPath = std::getenv("TUNELIFT_FTP_REPORT");
  if (reportPath == nullptr || !std::filesystem::exists("ftp-report.txt")) {
    return true;
  }
  const std::string pause = ReadWhole("ftp-report-pause.txt");
  const std::chrono::milliseconds between(pause.empty() ? 0 : std::stoi(pause));
  // In the system's narrow encoding, as getenv gives it and a narrow path takes it.
  const std::filesystem::path report(reportPath);
  const std::vector<std::string> reports = GivenReports(ReadWhole("ftp-report.txt"));
  for (std::size_t i = 0; i < (firstOnly ? 1 : reports.size()); ++i) {
    if (i > 0) {
      std::this_thread::sleep_for(between);
    }
    if (!WriteReport(report, reports[i])) {
      return false;
    }
  }
  return true;
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
  if (!WriteReports(true)) {
    return 1;
  }
  WaitForRelease();
  if (!WriteReports(false)) {
    return 1;
  }
  return Replay();
}
