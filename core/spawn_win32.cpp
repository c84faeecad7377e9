#include "spawn_win32.h"

#include <windows.h>

#include <cwchar>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "child_environment.h"
#include "text/wide_text_win32.h"
#include "owner_only_win32.h"
#include "core/win32_error.h"
#include "win32_handle.h"

namespace tunelift {
namespace {

// A started program, known by its process handle until it has ended.
class Win32Program : public RunningProgram {
public:
  explicit Win32Program(UniqueHandle process) : process_(std::move(process)) {}

  bool Running() override {
    if (!process_ || WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      return static_cast<bool>(process_);
    }
    DWORD status = 0;
    exitStatus_ = GetExitCodeProcess(process_.get(), &status) ? static_cast<int>(status) : -1;
    process_.reset();  // the system forgets the process once its last handle is gone
    return false;
  }

  int ExitStatus() const override { return exitStatus_; }

  void Stop() override {
    if (!Running()) {
      return;
    }
    // TerminateProcess only starts the end; the process is gone once its handle is signalled.
    // One that ended on its own meanwhile refuses with access denied: that is its end too.
    if (!TerminateProcess(process_.get(), kStoppedExitCode)) {
      const DWORD refusal = GetLastError();
      if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) {
        throw Win32Error("Cannot stop the program", refusal);
      }
    }
    const DWORD waited = WaitForSingleObject(process_.get(), static_cast<DWORD>(kStopWaitMs));
    if (waited != WAIT_OBJECT_0) {
      throw Win32Error("Cannot stop the program: it has not ended",
                       waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError());
    }
    Running();  // takes its exit status and lets the process go
  }

private:
  UniqueHandle process_;
  int exitStatus_ = -1;
};

WORD ShowCommand(WindowStyle style) {
  switch (style) {
    case WindowStyle::Hidden: return SW_HIDE;
    case WindowStyle::NormalFocus: return SW_SHOWNORMAL;
    case WindowStyle::MinimizedFocus: return SW_SHOWMINIMIZED;
    case WindowStyle::MaximizedFocus: return SW_SHOWMAXIMIZED;
    case WindowStyle::NormalNoFocus: return SW_SHOWNOACTIVATE;
    case WindowStyle::MinimizedNoFocus: return SW_SHOWMINNOACTIVE;
  }
  return SW_SHOWNORMAL;
}

std::string SearchIn(const wchar_t* folders, const std::wstring& name) {
  std::vector<wchar_t> found(MAX_PATH);
  DWORD length = SearchPathW(folders, name.c_str(), L".exe", static_cast<DWORD>(found.size()),
                             found.data(), nullptr);
  if (length >= found.size()) {
    found.resize(length + 1);
    length = SearchPathW(folders, name.c_str(), L".exe", static_cast<DWORD>(found.size()),
                         found.data(), nullptr);
  }
  if (length == 0 || length >= found.size()) {
    return {};
  }
  const DWORD attributes = GetFileAttributesW(found.data());
  const bool isFile =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  return isFile ? Utf8FromWide(std::wstring(found.data(), length)) : std::string();
}

// The file that takes the program's output, made new for its owner alone: nothing of that
// name (a link included) is replaced or written through, and nothing older keeps wider
// rights. ERROR_FILE_EXISTS when the name is taken, even by a process racing this one for it.
UniqueHandle CreateOutputFile(const std::string& path) {
  const std::wstring wide = Wide(path);
  OwnerOnlySecurity ownerOnly;
  UniqueHandle file =
      OwnHandle(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, ownerOnly.attributes(),
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    throw LastWin32Error("Cannot create the output file '" + path + "'");
  }
  return file;
}

UniqueHandle InheritableCopy(HANDLE handle, const std::string& what) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    throw LastWin32Error(what);
  }
  return OwnHandle(copy);
}

// Standard input and output handed to the child, and the attribute list that lets it
// inherit those two handles and no other.
class RedirectedHandles {
public:
  RedirectedHandles(const std::string& outputFile, const std::string& what)
      : output_(InheritableCopy(CreateOutputFile(outputFile).get(), what)) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    input_ = OwnHandle(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!input_) {
      throw LastWin32Error(what);
    }
    handles_ = {input_.get(), output_.get()};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    attributes_.resize(size);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes_.data());
    if (!InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
      throw LastWin32Error(what);
    }
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                   handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
      DeleteProcThreadAttributeList(list_);
      throw LastWin32Error(what);
    }
  }
  ~RedirectedHandles() { DeleteProcThreadAttributeList(list_); }
  RedirectedHandles(const RedirectedHandles&) = delete;
  RedirectedHandles& operator=(const RedirectedHandles&) = delete;

  void ApplyTo(STARTUPINFOEXW& startup) const {
    startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input_.get();
    startup.StartupInfo.hStdOutput = output_.get();
    startup.StartupInfo.hStdError = output_.get();
    startup.lpAttributeList = list_;
  }

private:
  UniqueHandle output_;
  UniqueHandle input_;
  std::vector<HANDLE> handles_;
  std::vector<BYTE> attributes_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

struct EnvironmentFreer {
  void operator()(wchar_t* block) const noexcept { FreeEnvironmentStringsW(block); }
};

// The tool's own environment entries, "NAME=VALUE".
std::vector<std::wstring> InheritedEnvironment(const std::string& what) {
  const std::unique_ptr<wchar_t, EnvironmentFreer> block(GetEnvironmentStringsW());
  if (!block) {
    throw LastWin32Error(what);
  }
  std::vector<std::wstring> entries;
  for (const wchar_t* entry = block.get(); *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    entries.emplace_back(entry);
  }
  return entries;
}

// The environment block CreateProcessW takes with CREATE_UNICODE_ENVIRONMENT: the tool's own
// with `added` in place of variables of their names, which Windows compares without regard
// to case.
std::wstring ChildEnvironmentBlock(const std::vector<EnvironmentVariable>& added,
                                   const std::string& what) {
  std::vector<std::wstring> additions;
  for (const EnvironmentVariable& variable : added) {
    additions.push_back(Wide(variable.name) + L"=" + Wide(variable.value));
  }
  const auto sameName = [](std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
  };
  std::wstring block;
  for (const std::wstring& entry :
       MergedEnvironment(InheritedEnvironment(what), additions, sameName)) {
    block += entry;
    block.push_back(L'\0');
  }
  // The block ends with an empty entry; an empty block is two NULs all the same.
  block.append(block.empty() ? 2 : 1, L'\0');
  return block;
}

}  // namespace

std::string FindProgram(const std::string& name, const std::string& programFolder) {
  const std::wstring wide = Wide(name);
  if (name.find_first_of("\\/:") != std::string::npos) {
    return SearchIn(nullptr, wide);
  }
  const std::string inProgramFolder = SearchIn(Wide(programFolder).c_str(), wide);
  return inProgramFolder.empty() ? SearchIn(nullptr, wide) : inProgramFolder;
}

std::unique_ptr<RunningProgram> StartProgram(const std::string& executable,
                                             const std::string& commandLine, WindowStyle style,
                                             const ShellOptions& options) {
  const std::string what = "Cannot start '" + executable + "'";
  CheckEnvironmentVariables(options.environment, what);
  // Without variables to add, the program inherits the tool's environment as it is.
  std::optional<std::wstring> environment;
  if (!options.environment.empty()) {
    environment = ChildEnvironmentBlock(options.environment, what);
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = ShowCommand(style);
  std::optional<RedirectedHandles> redirected;
  if (!options.outputFile.empty()) {
    redirected.emplace(options.outputFile, what);
    redirected->ApplyTo(startup);
    startup.StartupInfo.cb = sizeof startup;
  }
  // CreateProcessW may write into the command line: it gets a copy of its own.
  std::wstring line = Wide(commandLine);
  line.push_back(L'\0');
  PROCESS_INFORMATION started{};
  const DWORD flags = (redirected ? EXTENDED_STARTUPINFO_PRESENT : 0) |
                      (environment ? CREATE_UNICODE_ENVIRONMENT : 0);
  if (!CreateProcessW(Wide(executable).c_str(), line.data(), nullptr, nullptr,
                      redirected ? TRUE : FALSE, flags, environment ? environment->data() : nullptr,
                      nullptr, &startup.StartupInfo, &started)) {
    const Error failure = LastWin32Error(what);
    if (redirected) {
      // Nothing started, so nothing half-done stays: the output file, made new above, goes.
      redirected.reset();
      DeleteFileW(Wide(options.outputFile).c_str());
    }
    throw failure;
  }
  const UniqueHandle thread = OwnHandle(started.hThread);  // the program's, not the tool's
  UniqueHandle process = OwnHandle(started.hProcess);
  return std::make_unique<Win32Program>(std::move(process));
}

bool OutputHeld(const std::string& path) {
  std::wstring wide;
  try {
    wide = Wide(path);
  } catch (const Error&) {
    return false;  // a name no file can have
  }
  // The program writes its output through a handle that shares the file with readers only:
  // while it runs, a reader that will not share it with a writer is turned away.
  const UniqueHandle file = OwnHandle(
      CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace tunelift
