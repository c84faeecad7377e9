#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/local_account.h"

namespace tunelift::test {
namespace {

// Every account of these tests is named "tunelift-PID-N" after the process that made it.
constexpr std::string_view kPrefix = "tunelift-";

// useradd's and userdel's exit status when another process holds the lock on /etc/passwd
// (test processes run side by side); any other failure is final.
constexpr int kCannotUpdatePasswordFile = 1;

ProgramResult RunTool(const std::string& tool, const std::vector<std::string>& arguments) {
  // Several test processes make and remove accounts at once: wait out each other's locks.
  for (int attempt = 0;; ++attempt) {
    ProgramResult result = RunProgram({.program = "/usr/sbin/" + tool,
                                       .arguments = arguments,
                                       .environment = {},
                                       .input = "",
                                       .workingFolder = {}});
    if (result.exitCode != kCannotUpdatePasswordFile || attempt == 50) {
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::string RandomPassword() {
  constexpr std::string_view kLetters = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
  std::random_device random;
  std::string password;
  for (int i = 0; i < 20; ++i) {
    password += kLetters[random() % kLetters.size()];
  }
  return password;
}

// The password in the form /etc/shadow holds (SHA-512 crypt), made by openssl.
std::string ShadowHash(const std::string& password) {
  const ProgramResult result = RunProgram({.program = TUNELIFT_OPENSSL,
                                           .arguments = {"passwd", "-6", "-stdin"},
                                           .environment = {},
                                           .input = password + "\n",
                                           .workingFolder = {}});
  std::string hash = result.output.substr(0, result.output.find('\n'));
  if (result.exitCode != 0 || !hash.starts_with("$6$")) {
    throw std::system_error(EINVAL, std::generic_category(),
                            "openssl passwd: " + result.output + result.errors);
  }
  return hash;
}

void RemoveAccount(const std::string& name) {
  // -f: even while a server's session of the account is still ending.
  RunTool("userdel", {"-f", name});
}

// Accounts of test processes that no longer run (killed by a time-out, say).
void RemoveLeftovers() {
  std::vector<std::string> stale;
  setpwent();
  for (const passwd* entry = getpwent(); entry != nullptr; entry = getpwent()) {
    const std::string_view name = entry->pw_name;
    if (!name.starts_with(kPrefix)) {
      continue;
    }
    const int pid = std::atoi(std::string(name.substr(kPrefix.size())).c_str());
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) {
      stale.emplace_back(name);
    }
  }
  endpwent();
  for (const std::string& name : stale) {
    RemoveAccount(name);
  }
}

std::string FreshName() {
  static std::atomic<int> made{0};
  return std::string(kPrefix) + std::to_string(::getpid()) + "-" + std::to_string(++made);
}

}  // namespace

bool LocalAccount::CanBeMade() {
  return ::geteuid() == 0;
}

LocalAccount::LocalAccount(const std::filesystem::path& home)
    : name_(FreshName()), password_(RandomPassword()) {
  RemoveLeftovers();
  // -M: the home folder is the caller's; /bin/sh: PAM's pam_shells wants a listed shell.
  const ProgramResult made = RunTool(
      "useradd", {"-M", "-d", home.string(), "-s", "/bin/sh", "-p", ShadowHash(password_), name_});
  if (made.exitCode != 0) {
    throw std::system_error(EPERM, std::generic_category(),
                            "useradd " + name_ + ": " + made.errors);
  }
  const passwd* entry = getpwnam(name_.c_str());
  if (entry == nullptr || ::chown(home.c_str(), entry->pw_uid, entry->pw_gid) != 0) {
    const int reason = entry == nullptr ? ENOENT : errno;
    RemoveAccount(name_);
    throw std::system_error(reason, std::generic_category(),
                            "giving " + home.string() + " to " + name_);
  }
}

LocalAccount::~LocalAccount() {
  try {
    RemoveAccount(name_);
  } catch (const std::exception&) {
    // A destructor reports nothing; the next test process removes what is left.
  }
}

}  // namespace tunelift::test
