#include "replay_client.h"

#include "program_folder.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace tunelift::testing {

namespace fs = std::filesystem;

void ClientFolderTest::SetUp() {
  ProgramFolderTest::SetUp();
  area_->PrepareFolders();
  area_->WriteUploadScript();
  InstallStandInClient(root_);
}

void InstallStandInClient(const fs::path& programFolder) {
  const fs::path client = programFolder / "ftp.exe";
  fs::copy_file(TUNELIFT_REPLAY_CLIENT, client, fs::copy_options::overwrite_existing);
  fs::permissions(client, fs::perms::owner_all);
}

std::vector<std::vector<std::string>> ClientRuns(const fs::path& programFolder) {
  std::ifstream in(programFolder / "ftp-runs.txt", std::ios::binary);
  std::vector<std::vector<std::string>> runs;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '\t');) {
      fields.push_back(field);
    }
    runs.push_back(fields);
  }
  return runs;
}

void ReplayForClients(const fs::path& programFolder, int exitStatus, std::string_view transcript) {
  std::ofstream replay(programFolder / "ftp-replay.txt", std::ios::binary | std::ios::trunc);
  replay << exitStatus << '\n' << transcript;
  if (!replay.flush()) {
    throw std::runtime_error("cannot write the stand-in client's replay");
  }
}

void ReportForClients(const fs::path& programFolder, std::string_view report) {
  std::ofstream out(programFolder / "ftp-report.txt", std::ios::binary | std::ios::trunc);
  out << report;
  if (!out.flush()) {
    throw std::runtime_error("cannot write the stand-in client's report");
  }
}

void ReportsForClients(const fs::path& programFolder, const std::vector<std::string>& reports,
                       std::chrono::milliseconds pause) {
  std::string text;
  for (const std::string& report : reports) {
    text += report + "\f\n";  // the stand-in's end of one report
  }
  ReportForClients(programFolder, text);
  std::ofstream out(programFolder / "ftp-report-pause.txt", std::ios::binary | std::ios::trunc);
  out << pause.count();
  if (!out.flush()) {
    throw std::runtime_error("cannot write the stand-in client's pause");
  }
}

ClientHold::ClientHold(const fs::path& programFolder) : hold_(programFolder / "ftp-hold") {
  if (!std::ofstream(hold_, std::ios::binary)) {
    throw std::runtime_error("cannot hold the stand-in client");
  }
}

void ClientHold::Release() noexcept {
  std::error_code ignored;  // gone already, or the folder with it
  fs::remove(hold_, ignored);
}

}  // namespace tunelift::testing
