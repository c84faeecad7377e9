#include "text_stream_win32.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "file_ops_win32.h"
#include "owner_only_win32.h"
#include "core/win32_error.h"
#include "win32_handle.h"

namespace tunelift {
namespace {

class Win32TextStream : public TextStream {
public:
  Win32TextStream(std::string name, std::wstring scratch, UniqueHandle file, bool overwrite)
      : name_(std::move(name)),
        scratch_(std::move(scratch)),
        file_(std::move(file)),
        overwrite_(overwrite) {}
  ~Win32TextStream() override {
    if (file_) {
      file_.reset();
      DeleteFileW(scratch_.c_str());  // never completed: the real name stays as it was
    }
  }

  void WriteLine(const std::string& text) override {
    WriteAll(text);
    WriteAll("\r\n");
  }

  void Close() override {
    if (!file_) {
      return;
    }
    // On disk before it takes the real name, so a crash cannot leave a short script there.
    const bool flushed = FlushFileBuffers(file_.get());
    const DWORD flushError = GetLastError();
    file_.reset();
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (overwrite_ ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!flushed || !MoveFileExW(scratch_.c_str(), Wide(name_).c_str(), flags)) {
      const DWORD error = flushed ? GetLastError() : flushError;
      DeleteFileW(scratch_.c_str());
      throw Win32Error("Cannot finish writing '" + name_ + "'", error);
    }
  }

private:
  void WriteAll(std::string_view bytes) {
    if (!file_) {
      throw Error(errnum::kPathFileAccess, "Cannot write to '" + name_ + "': it is closed");
    }
    while (!bytes.empty()) {
      DWORD written = 0;
      const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
      if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr)) {
        throw LastWin32Error("Cannot write to '" + name_ + "'");
      }
      bytes.remove_prefix(written);
    }
  }

  std::string name_;
  std::wstring scratch_;
  UniqueHandle file_;
  bool overwrite_;
};

// Fails early where the final move would fail: a folder, or a file kept by !overwrite.
void CheckNameIsFree(const std::string& name, bool overwrite) {
  const DWORD attributes = GetFileAttributesW(Wide(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw Win32Error("Cannot create '" + name + "': a folder has that name", ERROR_ACCESS_DENIED);
  }
  if (!overwrite) {
    throw Win32Error("Cannot create '" + name + "'", ERROR_FILE_EXISTS);
  }
}

}  // namespace

std::unique_ptr<TextStream> CreateWin32TextFile(const std::string& name,
                                                const TextFileOptions& options) {
  CheckNameIsFree(name, options.overwrite);
  std::optional<OwnerOnlySecurity> ownerOnly;
  if (options.ownerOnly) {
    ownerOnly.emplace();
  }
  const std::wstring scratch = Wide(ScratchPathBeside(name, "text"));
  UniqueHandle file = OwnHandle(CreateFileW(scratch.c_str(), GENERIC_WRITE, 0,
                                            ownerOnly ? ownerOnly->attributes() : nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    throw LastWin32Error("Cannot create '" + name + "'");
  }
  return std::make_unique<Win32TextStream>(name, scratch, std::move(file), options.overwrite);
}

}  // namespace tunelift
