#include "tests/support/wine_ftp_server_win32.h"

#include <windows.h>

#include <chrono>
#include <sstream>
#include <system_error>
#include <thread>

#include "text/wide_text_win32.h"
#include "tests/support/command_log.h"

namespace tunelift::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartOrStopWithin = std::chrono::seconds(10);
// However a test ends, its server is gone after this long.
constexpr const char* kLongestLife = "600";

std::system_error Failure(const std::string& what) {
  return std::system_error(std::make_error_code(std::errc::io_error), what);
}

// Wine's own conversions between its Windows paths and the Unix ones, exported by its
// kernel32; absent on Windows, where these tests cannot run.
template <typename Function>
Function WineFunction(const char* name) {
  const auto found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
  if (found == nullptr) {
    throw Failure(std::string("these tests start a Unix program and need Wine's ") + name);
  }
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

std::string UnixPath(const std::filesystem::path& path) {
  using ToUnix = char*(__cdecl*)(const wchar_t*);
  char* unix = WineFunction<ToUnix>("wine_get_unix_file_name")(path.c_str());
  if (unix == nullptr) {
    throw Failure("Wine has no Unix path for " + Utf8FromWide(path.wstring()));
  }
  std::string converted(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return converted;
}

std::wstring WindowsPath(const std::string& unixPath) {
  using ToWindows = wchar_t*(__cdecl*)(const char*);
  wchar_t* windows = WineFunction<ToWindows>("wine_get_dos_file_name")(unixPath.c_str());
  if (windows == nullptr) {
    throw Failure("Wine has no Windows path for " + unixPath);
  }
  std::wstring converted(windows);
  HeapFree(GetProcessHeap(), 0, windows);
  return converted;
}

// One argument as Windows programs split a command line: quoted, backslashes before a quote
// doubled. Wine hands a Unix program the arguments split that way.
std::wstring Quoted(const std::string& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : WideFromUtf8(argument)) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// Starts the Unix program `arguments` through sh, which writes its own process number to
// `pidFile` and then becomes the program, its output going to `outputFile` and its errors
// to `errorFile`. Wine hands a Unix program neither pipes nor a process handle, hence files.
void StartUnixProgram(const std::vector<std::string>& arguments, const std::string& pidFile,
                      const std::string& outputFile, const std::string& errorFile) {
  const std::string script =
      "echo $$ > \"$0\"; out=$1; err=$2; shift 2; exec \"$@\" < /dev/null > \"$out\" 2> \"$err\"";
  std::wstring line = Quoted("/bin/sh") + L" -c " + Quoted(script);
  for (const std::string& word : std::vector<std::string>{pidFile, outputFile, errorFile}) {
    line += L" " + Quoted(word);
  }
  for (const std::string& word : arguments) {
    line += L" " + Quoted(word);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(WindowsPath("/bin/sh").c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &started)) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot start /bin/sh");
  }
  // Wine's handles for a Unix process stand for nothing that can be waited on.
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

// Whether the Unix process `id` still runs (a zombie has ended).
bool UnixProcessRuns(int id) {
  const std::filesystem::path status = WindowsPath("/proc/" + std::to_string(id) + "/stat");
  std::istringstream stat(std::filesystem::exists(status) ? ReadFile(status) : "");
  std::string number;
  std::string name;
  char state = 'X';
  stat >> number >> name >> state;
  return state != 'X' && state != 'Z';
}

// The first line of `file` once it has one ending in a line feed, waiting for it.
std::string FirstLineOf(const std::filesystem::path& file, const std::string& waitingFor) {
  const auto deadline = Clock::now() + kStartOrStopWithin;
  while (Clock::now() < deadline) {
    const std::string content = std::filesystem::exists(file) ? ReadFile(file) : "";
    const std::size_t end = content.find('\n');
    if (end != std::string::npos) {
      return content.substr(0, end);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw Failure("no " + waitingFor + " within ten seconds");
}

int ParsePort(const std::string& line, const std::filesystem::path& errorFile) {
  std::istringstream words(line);
  std::string label;
  int port = 0;
  if (!(words >> label >> port) || label != "PORT" || port <= 0) {
    throw Failure("the FTP test server said: " + line + " " + ReadFile(errorFile));
  }
  return port;
}

}  // namespace

WineFtpServer::WineFtpServer(const WineFtpServerOptions& options) {
  const std::string work = UnixPath(work_.path());
  std::vector<std::string> arguments{"/usr/bin/timeout",
                                     kLongestLife,
                                     TUNELIFT_SYSTEM_PYTHON,
                                     TUNELIFT_FTP_SERVER_SCRIPT,
                                     "--root",
                                     UnixPath(options.receiveFolder),
                                     "--log",
                                     work + "/commands.log"};
  arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
  StartUnixProgram(arguments, work + "/pid", work + "/output", work + "/errors");
  unixProcess_ = std::stoi(FirstLineOf(work_.path() / "pid", "process number"));
  try {
    port_ = ParsePort(FirstLineOf(work_.path() / "output", "port"), work_.path() / "errors");
  } catch (...) {
    Stop();  // the constructor failed: no destructor will stop it
    throw;
  }
}

WineFtpServer::~WineFtpServer() {
  Stop();
}

void WineFtpServer::Stop() noexcept {
  if (unixProcess_ <= 0) {
    return;
  }
  // timeout passes the signal on to the server it runs, and ends once the server has.
  try {
    StartUnixProgram({"/bin/kill", "-TERM", std::to_string(unixProcess_)}, "/dev/null", "/dev/null",
                     "/dev/null");
    const auto deadline = Clock::now() + kStartOrStopWithin;
    while (UnixProcessRuns(unixProcess_) && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  } catch (const std::exception&) {
    // Nothing to report to: the server ends by itself after kLongestLife seconds.
  }
  unixProcess_ = 0;
}

std::vector<std::string> WineFtpServer::Commands() const {
  const std::filesystem::path log = work_.path() / "commands.log";
  std::istringstream lines(std::filesystem::exists(log) ? ReadFile(log) : "");
  std::vector<std::string> commands;
  for (std::string line; std::getline(lines, line);) {
    commands.push_back(line);
  }
  return commands;
}

std::size_t WineFtpServer::CountOf(std::string_view verb) const {
  return CountCommands(Commands(), verb);
}

}  // namespace tunelift::test
