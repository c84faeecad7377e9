#include "tests/support/vsftpd_server.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

#include "tests/support/command_log.h"

namespace tunelift::test {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Throw(int number, const std::string& what) {
  throw std::system_error(number, std::generic_category(), what);
}

// A self-signed certificate and its key, as a home server's owner makes them.
void MakeCertificate(const fs::path& work, const std::string& name) {
  const ProgramResult made = RunProgram(
      {.program = TUNELIFT_OPENSSL,
       .arguments = {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout",
                     (work / "key.pem").string(), "-out", (work / "cert.pem").string(), "-subj",
                     "/CN=" + name, "-addext", "subjectAltName=DNS:" + name},
       .environment = {},
       .input = "",
       .workingFolder = {}});
  if (made.exitCode != 0) {
    Throw(EINVAL, "openssl req: " + made.errors);
  }
}

std::string Configuration(const VsftpdOptions& options, const fs::path& work) {
  std::ostringstream text;
  // In the foreground, on loopback, at a port the system chooses (found in /proc below).
  text << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=0\n"
          "background=NO\n"
          "anonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\npam_service_name=vsftpd\n"
       << "local_root=" << options.receiveFolder.string()
       << "\n"
       // Debian's own /var/run/vsftpd/empty is missing where systemd never ran its tmpfiles.
       << "secure_chroot_dir=" << (work / "empty").string()
       << "\n"
       // Namespaces and seccomp need what containers often forbid; a test needs neither.
       << "isolate=NO\nisolate_network=NO\nseccomp_sandbox=NO\nconnect_from_port_20=NO\n"
       << "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\n"
          "syslog_enable=NO\ndual_log_enable=NO\n"
       << "vsftpd_log_file=" << (work / "vsftpd.log").string() << "\n";
  if (options.tls) {
    text << "ssl_enable=YES\nssl_ciphers=HIGH\nrequire_ssl_reuse=YES\n"
         << "force_local_logins_ssl=NO\n"
         << "force_local_data_ssl=" << (options.forceEncryptedData ? "YES" : "NO") << "\n"
         << "rsa_cert_file=" << (work / "cert.pem").string() << "\n"
         << "rsa_private_key_file=" << (work / "key.pem").string() << "\n";
  } else {
    text << "ssl_enable=NO\n";
  }
  return text.str();
}

// The inodes of the sockets process `pid` holds open.
std::set<std::string> SocketsOf(int pid) {
  std::set<std::string> inodes;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    const std::string target = fs::read_symlink(entry.path(), error).string();
    if (!error && target.starts_with("socket:[")) {
      inodes.insert(target.substr(8, target.size() - 9));
    }
  }
  return inodes;
}

// The port that process `pid` listens on, from the kernel's table; 0 while it listens on none.
int ListeningPort(int pid) {
  const std::set<std::string> sockets = SocketsOf(pid);
  std::ifstream table("/proc/" + std::to_string(pid) + "/net/tcp");
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
        timeout >> inode;
    const bool listening = state == "0A";
    if (listening && sockets.contains(inode)) {
      return std::stoi(local.substr(local.find(':') + 1), nullptr, 16);
    }
  }
  return 0;
}

int WaitUntilListening(ChildProcess& vsftpd) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (const int port = ListeningPort(vsftpd.pid()); port != 0) {
      return port;
    }
    if (vsftpd.HasEnded()) {
      std::string said;
      try {
        said = vsftpd.ReadLine(std::chrono::milliseconds(100));
      } catch (const std::system_error&) {
        said = "nothing";
      }
      Throw(ECHILD, "vsftpd ended at once and said: " + said);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Throw(ETIMEDOUT, "vsftpd did not listen within ten seconds");
}

// The command in one line of vsftpd's protocol log, "" for a line that holds none:
//   ... [pid 7] CONNECT: Client "127.0.0.1"                   -> CONNECT
//   ... [pid 7] [bob] FTP command: Client "127.0.0.1", "STOR a.mp3"   -> STOR a.mp3
std::string CommandIn(const std::string& line) {
  if (line.find("] CONNECT: Client ") != std::string::npos) {
    return "CONNECT";
  }
  const std::size_t label = line.find("] FTP command: Client ");
  const std::size_t start = line.find(", \"", label);
  if (label == std::string::npos || start == std::string::npos || !line.ends_with('"')) {
    return {};
  }
  return line.substr(start + 3, line.size() - start - 4);
}

}  // namespace

VsftpdServer::VsftpdServer(const VsftpdOptions& options) {
  const fs::path empty = work_.path() / "empty";
  fs::create_directory(empty);
  fs::permissions(empty, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  if (options.tls) {
    MakeCertificate(work_.path(), options.certificateName);
  }
  const fs::path configuration = work_.Write("vsftpd.conf", Configuration(options, work_.path()));
  account_ = std::make_unique<LocalAccount>(options.receiveFolder);
  process_ = std::make_unique<ChildProcess>(
      TUNELIFT_VSFTPD, std::vector<std::string>{configuration.string()},
      ChildOptions{.inputIsOutput = true, .ownProcessGroup = true});
  port_ = WaitUntilListening(*process_);
}

VsftpdServer::~VsftpdServer() = default;

std::vector<std::string> VsftpdServer::Commands() const {
  std::ifstream log(work_.path() / "vsftpd.log");
  std::vector<std::string> commands;
  for (std::string line; std::getline(log, line);) {
    if (std::string command = CommandIn(line); !command.empty()) {
      commands.push_back(std::move(command));
    }
  }
  return commands;
}

std::size_t VsftpdServer::CountOf(std::string_view verb) const {
  return CountCommands(Commands(), verb);
}

std::string VsftpdServer::ConnectTo(std::string_view host) const {
  return std::string(host) + ":21:127.0.0.1:" + std::to_string(port_);
}

}  // namespace tunelift::test
