#pragma once
// A real local account for tests of servers that log in through the system (vsftpd with
// PAM), made with the system's own useradd and removed with userdel when the object goes.
// Needs root. Failures throw std::system_error with the tool's own words.

#include <filesystem>
#include <string>

namespace tunelift::test {

class LocalAccount {
public:
  // Whether this process may make accounts (it runs as root).
  static bool CanBeMade();

  // A new account with a fresh name and a random password, `home` as its home folder (which
  // must exist, and which the account owns afterwards) and a login shell that PAM accepts.
  // Accounts that earlier test processes left behind, killed before they could remove them,
  // are removed first.
  explicit LocalAccount(const std::filesystem::path& home);
  ~LocalAccount();
  LocalAccount(const LocalAccount&) = delete;
  LocalAccount& operator=(const LocalAccount&) = delete;

  const std::string& name() const { return name_; }
  const std::string& password() const { return password_; }

private:
  std::string name_;
  std::string password_;
};

}  // namespace tunelift::test
