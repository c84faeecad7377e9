#include <signal.h>

#include <cstdlib>

#include "client_platform.h"
#include "curl_transport.h"

namespace tunelift::ftp {

namespace {

// From here on, writing to a closed pipe or past a file-size limit fails with an error the
// transcript can report, instead of ending the process by a signal.
struct OutputFailuresReported {
  OutputFailuresReported() {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
  }
};

}  // namespace

struct ClientPlatform::State {
  OutputFailuresReported outputFailures;  // first: libcurl's own failure is reported too
  CurlLibrary curl;
};

ClientPlatform::ClientPlatform() : state_(std::make_unique<State>()) {}

ClientPlatform::~ClientPlatform() = default;

std::vector<std::string> ClientPlatform::Arguments(int argc, char** argv) const {
  // The terminal and the file names are UTF-8 already.
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string ClientPlatform::Variable(const char* name) const {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TransportMaker ClientPlatform::Transports() const {
  CurlTransportOptions options;
  // Already in libcurl's own connect-to form, handed over as it is.
  options.connectTo = Variable("TUNELIFT_FTP_CONNECT_TO");
  return [options](TransportObserver& observer) -> std::unique_ptr<Transport> {
    return std::make_unique<CurlTransport>(observer, options);
  };
}

std::size_t ClientPlatform::DefaultConnections() const {
  return kDefaultConnections;
}

}  // namespace tunelift::ftp
