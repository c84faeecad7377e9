#include "text/wide_text_win32.h"

#include <windows.h>

#include <optional>
#include <utility>

#include "text/local_memory_win32.h"

namespace tunelift {

namespace {

// UTF-8 `text` as UTF-16, converted with MultiByteToWideChar's `flags`; nothing when the
// conversion refuses the text.
std::optional<std::wstring> ToWide(std::string_view text, DWORD flags) {
  if (text.empty()) {
    return std::wstring();
  }
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, flags, text.data(), length, nullptr, 0);
  if (needed <= 0) {
    return std::nullopt;
  }
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, flags, text.data(), length, wide.data(), needed);
  return wide;
}

// UTF-16 `text` as UTF-8, converted with WideCharToMultiByte's `flags`; nothing when the
// conversion refuses the text.
std::optional<std::string> ToUtf8(std::wstring_view text, DWORD flags) {
  if (text.empty()) {
    return std::string();
  }
  const int length = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    return std::nullopt;
  }
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, flags, text.data(), length, utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
  std::optional<std::wstring> wide = ToWide(text, MB_ERR_INVALID_CHARS);
  if (!wide) {
    throw BadText("'" + std::string(text) + "' is not UTF-8 text");
  }
  return std::move(*wide);
}

std::wstring WideForDisplay(std::string_view text) {
  // Without MB_ERR_INVALID_CHARS each byte that is not UTF-8 becomes U+FFFD.
  return ToWide(text, 0).value_or(std::wstring());
}

std::string Utf8FromWide(std::wstring_view text) {
  std::optional<std::string> utf8 = ToUtf8(text, WC_ERR_INVALID_CHARS);
  if (!utf8) {
    throw BadText("a name holds text that is not valid UTF-16");
  }
  return std::move(*utf8);
}

std::string Utf8ForDisplay(std::wstring_view text) {
  // Without WC_ERR_INVALID_CHARS a lone surrogate becomes U+FFFD.
  return ToUtf8(text, 0).value_or(std::string());
}

std::string SystemWords(unsigned long code, void* module) {
  const DWORD source = module != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | source,
                     module, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const UniqueLocal<wchar_t> owned(buffer);
  std::wstring words = length > 0 ? std::wstring(buffer, length) : std::wstring();
  const auto trailing = [](wchar_t c) {
    return c == L'\r' || c == L'\n' || c == L' ' || c == L'.';
  };
  while (!words.empty() && trailing(words.back())) {
    words.pop_back();
  }
  try {
    return Utf8FromWide(words);
  } catch (const BadText&) {
    return {};
  }
}

}  // namespace tunelift
