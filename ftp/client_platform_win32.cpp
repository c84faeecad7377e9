#include <windows.h>
#include <shellapi.h>

#include "ftp/client_platform.h"
#include "ftp/terminal.h"
#include "ftp/wininet_transport.h"
#include "listing/wide_text_win32.h"

namespace tunelift::ftp {

struct ClientPlatform::State {
  Utf8Console console;
};

ClientPlatform::ClientPlatform() : state_(std::make_unique<State>()) {}

ClientPlatform::~ClientPlatform() = default;

std::vector<std::string> ClientPlatform::Arguments(int, char**) const {
  // argv holds the arguments in the system's narrow code page, which cannot hold every
  // file name: they are read again as the wide text Windows keeps.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    throw TransportError(TransportError::Stage::Local, static_cast<int>(GetLastError()),
                         "Cannot read the command line");
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    arguments.push_back(Utf8FromWide(wide[i]));
  }
  LocalFree(wide);
  return arguments;
}

TransportMaker ClientPlatform::Transports() const {
  WinInetTransportOptions options;
  std::wstring connectTo(32768, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"TUNELIFT_FTP_CONNECT_TO", connectTo.data(),
                                               static_cast<DWORD>(connectTo.size()));
  connectTo.resize(length < connectTo.size() ? length : 0);
  options.connectTo = Utf8FromWide(connectTo);
  return [options](TransportObserver& observer) -> std::unique_ptr<Transport> {
    return std::make_unique<WinInetTransport>(observer, options);
  };
}

}  // namespace tunelift::ftp
