#include <windows.h>
#include <shellapi.h>

#include "client_platform.h"
#include "terminal.h"
#include "wininet_transport.h"
#include "text/local_memory_win32.h"
#include "text/wide_text_win32.h"

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
  const UniqueLocal<wchar_t*> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (wide == nullptr) {
    throw TransportError(TransportError::Stage::Local, static_cast<int>(GetLastError()),
                         "Cannot read the command line");
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    arguments.push_back(Utf8FromWide(wide.get()[i]));
  }
  return arguments;
}

std::string ClientPlatform::Variable(const char* name) const {
  // The wide form holds any path; a variable's largest size is 32767 characters.
  std::wstring value(32768, L'\0');
  const std::wstring wideName = WideFromUtf8(name);
  const DWORD length =
      GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
  value.resize(length < value.size() ? length : 0);
  return Utf8FromWide(value);
}

TransportMaker ClientPlatform::Transports() const {
  WinInetTransportOptions options;
  options.connectTo = Variable("TUNELIFT_FTP_CONNECT_TO");
  return [options](TransportObserver& observer) -> std::unique_ptr<Transport> {
    return std::make_unique<WinInetTransport>(observer, options);
  };
}

std::size_t ClientPlatform::DefaultConnections() const {
  // Under Wine, WinINet sessions side by side could hang for good after one of them dropped
  // mid-file: until that is understood, an mput keeps to one connection here.
  return 1;
}

}  // namespace tunelift::ftp
