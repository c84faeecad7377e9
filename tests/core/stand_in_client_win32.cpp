// Stands in for the FTP client on Windows: writes how it was started into
// "client-<pid>.report" in its current directory, says one line on its standard output and a
// complaint on its standard error, as the client does, then waits until a file
// "client-release" appears there (a minute at most) and ends with status 7.
// With "--handle=N" it also reports whether the handle value N is open in it. It reports the
// variables TUNELIFT_FTP_REPORT and TUNELIFT_INHERITED of its environment, and how many of
// its entries are named TUNELIFT_FTP_REPORT in any case.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  const int length = static_cast<int>(text.size());
  std::string utf8(static_cast<std::size_t>(length) * 4, '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(),
                                          static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return utf8;
}

std::wstring CurrentFolder() {
  wchar_t folder[MAX_PATH * 4] = {};
  GetCurrentDirectoryW(MAX_PATH * 4, folder);
  return folder;
}

std::string HandleReport(const wchar_t* commandLine) {
  const wchar_t* option = std::wcsstr(commandLine, L"--handle=");
  if (option == nullptr) {
    return "";
  }
  const auto value = static_cast<std::uintptr_t>(std::wcstoull(option + 9, nullptr, 10));
  DWORD flags = 0;
  const bool open = GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags);
  return std::string("handle=") + (open ? "open" : "closed") + "\n";
}

std::string Variable(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length == 0 || length >= 4096 ? std::string("(none)") : Utf8(value);
}

// The entries of the environment block named `name`, without regard to case.
int EntriesNamed(const std::wstring& name) {
  wchar_t* block = GetEnvironmentStringsW();
  int count = 0;
  for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0';
       entry += std::wcslen(entry) + 1) {
    const std::wstring text = entry;
    count += text.size() > name.size() && text[name.size()] == L'=' &&
             _wcsnicmp(text.c_str(), name.c_str(), name.size()) == 0;
  }
  FreeEnvironmentStringsW(block);
  return count;
}

// Writes the report under a scratch name first, so the test never reads half of it; its
// last line, "end=1", tells a whole report all the same.
bool WriteReport(const std::string& report) {
  const std::wstring name = L"client-" + std::to_wstring(GetCurrentProcessId()) + L".report";
  const std::wstring scratch = name + L".part";
  HANDLE file = CreateFileW(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
  CloseHandle(file);
  return ok && MoveFileExW(scratch.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const wchar_t* commandLine = GetCommandLineW();
  const std::string report =
      "pid=" + std::to_string(GetCurrentProcessId()) + "\n" +
      "show=" + std::to_string(startup.wShowWindow) + "\n" +
      "useshowwindow=" + ((startup.dwFlags & STARTF_USESHOWWINDOW) ? "1" : "0") + "\n" +
      "cwd=" + Utf8(CurrentFolder()) + "\n" + "commandline=" + Utf8(commandLine) + "\n" +
      HandleReport(commandLine) + "reportvar=" + Variable(L"TUNELIFT_FTP_REPORT") + "\n" +
      "reportvars=" + std::to_string(EntriesNamed(L"TUNELIFT_FTP_REPORT")) + "\n" +
      "inherited=" + Variable(L"TUNELIFT_INHERITED") + "\n" + "end=1\n";
  if (!WriteReport(report)) {
    return 4;
  }
  std::fputs("stand-in output\n", stdout);
  std::fputs("ftp: stand-in complaint\n", stderr);
  std::fflush(nullptr);
  for (int waited = 0; waited < 3000; ++waited) {
    if (GetFileAttributesW(L"client-release") != INVALID_FILE_ATTRIBUTES) {
      return 7;
    }
    Sleep(20);
  }
  return 5;
}
