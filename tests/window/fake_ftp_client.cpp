// Stands in for ftp.exe in the window's tests: appends one line to ftp-runs.txt in the folder
// it was started in, holding that folder and then each argument, separated by tabs, and exits.

#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char* argv[]) {
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
  return runs ? 0 : 1;
}
