#pragma once
// What ftp.exe's main takes from its platform: the arguments as UTF-8, and the transport that
// speaks FTP there (libcurl on POSIX, WinINet on Windows). One side per platform:
// client_platform_posix.cpp and client_platform_win32.cpp.

#include <memory>
#include <string>
#include <vector>

#include "run.h"

namespace tunelift::ftp {

class ClientPlatform {
public:
  // Sets up what the process needs once, before any transport and any other thread: on POSIX,
  // writes that fail (a closed pipe, a file-size limit) reported instead of ending the process
  // by a signal, and libcurl's global state; on Windows, a console that reads and writes
  // UTF-8. Throws TransportError when the FTP library cannot start.
  ClientPlatform();
  ~ClientPlatform();
  ClientPlatform(const ClientPlatform&) = delete;
  ClientPlatform& operator=(const ClientPlatform&) = delete;

  // The program's arguments after its name, each as UTF-8 text.
  std::vector<std::string> Arguments(int argc, char** argv) const;

  // The environment variable `name` as UTF-8 text; empty when it is not set.
  std::string Variable(const char* name) const;

  // Makes the platform's transport. TUNELIFT_FTP_CONNECT_TO, read here, sends connections to
  // another address (see the usage text).
  TransportMaker Transports() const;

  // How many connections an mput uses unless TUNELIFT_FTP_CONNECTIONS says otherwise.
  std::size_t DefaultConnections() const;

private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tunelift::ftp
