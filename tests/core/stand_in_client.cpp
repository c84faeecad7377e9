// Stands in for the FTP client: reports how it was started (and its variables
// TUNELIFT_FTP_REPORT and PATH) on the FIFO "client-started.fifo" in its current directory,
// says one line on standard output and one on standard error, then blocks until the test
// lets go of "client-release.lock".

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The descriptors it was given beyond standard input, output and error.
std::string InheritedDescriptors() {
  std::string list;
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) {
    return "?";
  }
  const int own = dirfd(folder);
  while (dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && std::stoi(name) > 2 && std::stoi(name) != own) {
      list += name + ",";
    }
  }
  closedir(folder);
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string descriptors = InheritedDescriptors();
  char cwd[4096] = {};
  if (getcwd(cwd, sizeof cwd) == nullptr) {
    return 3;
  }
  const char* report = getenv("TUNELIFT_FTP_REPORT");
  const char* path = getenv("PATH");
  std::string record = "pid=" + std::to_string(getpid()) + "\tcwd=" + cwd + "\tfds=" + descriptors +
                       "\treport=" + (report ? report : "(none)") + "\tpath=" + (path ? path : "");
  for (int i = 0; i < argc; ++i) {
    record += "\targ=" + std::string(argv[i]);
  }
  record += "\n";
  const int started = open("client-started.fifo", O_WRONLY);
  if (started < 0 || write(started, record.data(), record.size()) < 0) {
    return 4;
  }
  close(started);
  constexpr char kSaid[] = "stand-in client\n";
  constexpr char kComplained[] = "ftp: stand-in complaint\n";
  if (write(STDOUT_FILENO, kSaid, sizeof kSaid - 1) < 0 ||
      write(STDERR_FILENO, kComplained, sizeof kComplained - 1) < 0) {
    return 6;
  }
  const int release = open("client-release.lock", O_RDONLY);
  if (release < 0 || flock(release, LOCK_SH) != 0) {
    return 5;
  }
  return 0;
}
