#pragma once
// A stand-in for ftp.exe that works the same on every platform (replay_client_main.cpp): put
// into a program folder as ftp.exe, it is found before any other client. It records how it
// was started, waits while the test holds it, writes the send report the test gives it where
// its environment says, and ends with the transcript and exit status the test gives it.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tunelift::testing {

void InstallStandInClient(const std::filesystem::path& programFolder);

// One entry per client started in `programFolder`: its current directory, then its arguments.
std::vector<std::vector<std::string>> ClientRuns(const std::filesystem::path& programFolder);

// What the next clients started in `programFolder` print and the status they end with.
void ReplayForClients(const std::filesystem::path& programFolder, int exitStatus,
                      std::string_view transcript);

// The send report the next clients started in `programFolder` write where their environment
// says (TUNELIFT_FTP_REPORT), once they are let go.
void ReportForClients(const std::filesystem::path& programFolder, std::string_view report);

// Reports the next clients started in `programFolder` write one after another once they are
// let go, `pause` apart, as the client rewrites its report while it sends; the last stays.
void ReportsForClients(const std::filesystem::path& programFolder,
                       const std::vector<std::string>& reports, std::chrono::milliseconds pause);

// Keeps every stand-in client started in `programFolder` from ending while it lives.
class ClientHold {
public:
  explicit ClientHold(const std::filesystem::path& programFolder);
  ~ClientHold() { Release(); }
  ClientHold(const ClientHold&) = delete;
  ClientHold& operator=(const ClientHold&) = delete;

  void Release() noexcept;

private:
  std::filesystem::path hold_;
};

// The first records of a report of a plain FTP session to the tool's own server.
inline const std::string kPlainReportStart =
    "tunelift-send-report\t1\nserver\ttunelift.example.net\n"
    "encryption\tnone\nidentity\tnot-checked\n";
// The reports of a send of two files, for ReportsForClients: part way into the second file,
// then the end, which comes as late as the pause given there.
inline const std::vector<std::string> kSlowTwoFileSend = {
    kPlainReportStart +
        "file\ta.mp3\t100\t100\tverified\t226\tOK\t\n"
        "file\tb.mp3\t300\t150\tsending\t0\t\t\n",
    kPlainReportStart +
        "file\ta.mp3\t100\t100\tverified\t226\tOK\t\n"
        "file\tb.mp3\t300\t300\tverified\t226\tOK\t\nend\t0\n"};

}  // namespace tunelift::testing
