#include "unprivileged_user.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

namespace tunelift::testing {
namespace {

void WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno != EINTR) {
      return;
    }
    done += written > 0 ? static_cast<std::size_t>(written) : 0;
  }
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t got = read(fd, buffer, sizeof buffer); got != 0;
       got = read(fd, buffer, sizeof buffer)) {
    if (got < 0 && errno != EINTR) {
      break;
    }
    text.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
  }
  return text;
}

bool DropToNobody() {
  return setgroups(0, nullptr) == 0 && setresgid(kNoGroup, kNoGroup, kNoGroup) == 0 &&
         setresuid(kNobody, kNobody, kNobody) == 0;
}

}  // namespace

bool CanActForAnotherUser() {
  return geteuid() == 0;
}

uid_t ActingUser() {
  return CanActForAnotherUser() ? kNobody : geteuid();
}

std::string AsUnprivilegedUser(const std::function<std::string()>& action) {
  int report[2];
  if (pipe(report) != 0) {
    return "no pipe to the child";
  }
  const pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    std::string result = "could not drop to the user nobody";
    if (!CanActForAnotherUser() || DropToNobody()) {
      try {
        result = action();
      } catch (const std::exception& error) {
        result = std::string("threw: ") + error.what();
      }
    }
    WriteAll(report[1], result);
    _exit(0);
  }
  close(report[1]);
  const std::string result = child > 0 ? ReadAll(report[0]) : "could not fork";
  close(report[0]);
  int status = 0;
  while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (child > 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
    return result + " [the child ended abnormally]";
  }
  return result;
}

}  // namespace tunelift::testing
