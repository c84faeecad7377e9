#include "wininet_reply.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "text/wide_text_win32.h"

namespace tunelift::ftp {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string Uppercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace

std::vector<std::string> LastReplyLines() {
  DWORD code = 0;
  DWORD length = 0;
  InternetGetLastResponseInfoW(&code, nullptr, &length);
  std::wstring text(length + 1, L'\0');
  length = static_cast<DWORD>(text.size());
  if (length <= 1 || !InternetGetLastResponseInfoW(&code, text.data(), &length)) {
    return {};
  }
  text.resize(length);
  while (!text.empty() && text.back() == L'\0') {
    text.pop_back();  // some WinINets count the terminator in the length
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of(L"\r\n", start);
    end = end == std::wstring::npos ? text.size() : end;
    if (end > start) {
      lines.push_back(Utf8FromWide(std::wstring_view(text).substr(start, end - start)));
    }
    start = end + 1;
  }
  return lines;
}

ServerReply ReplyOf(const std::vector<std::string>& lines) {
  if (lines.empty()) {
    return {};
  }
  const std::string& last = lines.back();
  const bool coded = last.size() >= 3 && IsDigit(last[0]) && IsDigit(last[1]) && IsDigit(last[2]) &&
                     (last.size() == 3 || last[3] == ' ' || last[3] == '-');
  if (!coded) {
    return {};
  }
  return {.code = std::stoi(last.substr(0, 3)), .text = last.size() > 4 ? last.substr(4) : ""};
}

std::optional<std::int64_t> SizeIn(const std::vector<std::string>& lines) {
  const ServerReply reply = ReplyOf(lines);
  if (reply.code != 213 || reply.text.empty()) {
    return std::nullopt;
  }
  std::int64_t size = 0;
  const char* end = reply.text.data() + reply.text.size();
  const auto [stop, error] = std::from_chars(reply.text.data(), end, size);
  if (error != std::errc() || stop != end || size < 0) {
    return std::nullopt;
  }
  return size;
}

bool ListsRestStream(const std::vector<std::string>& lines) {
  // Each feature is a line of its own between "211-" and "211 End", indented by one space
  // (some servers leave the space out).
  return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    const std::string feature = Uppercase(line);
    const std::size_t start = feature.starts_with(' ') ? 1 : 0;
    const std::string_view name = std::string_view(feature).substr(start);
    return name == "REST STREAM" || name.starts_with("REST STREAM ");
  });
}

}  // namespace tunelift::ftp
