#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "terminal.h"
#include "text/wide_text_win32.h"

namespace tunelift::ftp {
namespace {

bool IsConsole(DWORD standardHandle) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(standardHandle), &mode) != 0;
}

// The length of the start of `bytes` that holds no UTF-8 sequence cut off at its end.
std::size_t CompleteLength(const std::string& bytes) {
  for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((byte & 0xC0) != 0x80) {
      const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      return length > back ? bytes.size() - back : bytes.size();
    }
  }
  return bytes.size();
}

// UTF-8 written into it goes to the console as wide text (WriteConsoleW).
class ConsoleOutput : public std::streambuf {
public:
  explicit ConsoleOutput(HANDLE console) : console_(console) {}

protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      pending_.push_back(traits_type::to_char_type(c));
    }
    return pending_.size() >= 4096 && sync() != 0 ? traits_type::eof() : traits_type::not_eof(c);
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    return pending_.size() >= 4096 && sync() != 0 ? 0 : count;
  }

  int sync() override {
    const std::size_t complete = CompleteLength(pending_);
    // Invalid bytes show as U+FFFD: the console shows text, it stores nothing.
    const std::wstring wide = WideForDisplay(std::string_view(pending_).substr(0, complete));
    pending_.erase(0, complete);
    DWORD written = 0;
    return wide.empty() || WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()),
                                         &written, nullptr)
               ? 0
               : -1;
  }

private:
  HANDLE console_;
  std::string pending_;
};

// What is typed at the console, read as wide text (ReadConsoleW) and handed on as UTF-8.
// Ctrl+Z at the start of a line ends the input, as the console's own text mode has it.
class ConsoleInput : public std::streambuf {
public:
  explicit ConsoleInput(HANDLE console) : console_(console) {}

protected:
  int_type underflow() override {
    wchar_t wide[1024];
    DWORD got = 0;
    if (!ReadConsoleW(console_, wide, 1024, &got, nullptr) || got == 0 || wide[0] == L'\x1a') {
      return traits_type::eof();
    }
    buffer_ = Utf8ForDisplay(std::wstring_view(wide, got));
    if (buffer_.empty()) {
      return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
    return traits_type::to_int_type(buffer_.front());
  }

private:
  HANDLE console_;
  std::string buffer_;
};

}  // namespace

bool StandardInputIsTerminal() {
  return IsConsole(STD_INPUT_HANDLE);
}

bool StandardOutputIsTerminal() {
  return IsConsole(STD_OUTPUT_HANDLE);
}

HiddenTyping::HiddenTyping() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode) || (mode & ENABLE_ECHO_INPUT) == 0) {
    return;
  }
  echoWasOn_ = SetConsoleMode(input, mode & ~DWORD{ENABLE_ECHO_INPUT}) != 0;
}

HiddenTyping::~HiddenTyping() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (echoWasOn_ && GetConsoleMode(input, &mode)) {
    SetConsoleMode(input, mode | ENABLE_ECHO_INPUT);
  }
}

struct Utf8Console::Streams {
  ConsoleOutput output{GetStdHandle(STD_OUTPUT_HANDLE)};
  ConsoleInput input{GetStdHandle(STD_INPUT_HANDLE)};
  std::streambuf* savedOutput = nullptr;
  std::streambuf* savedInput = nullptr;
};

Utf8Console::Utf8Console() : streams_(std::make_unique<Streams>()) {
  // Output to a file or a pipe stays the UTF-8 bytes it is.
  if (IsConsole(STD_OUTPUT_HANDLE)) {
    std::cout.flush();
    streams_->savedOutput = std::cout.rdbuf(&streams_->output);
  }
  if (IsConsole(STD_INPUT_HANDLE)) {
    streams_->savedInput = std::cin.rdbuf(&streams_->input);
  }
}

Utf8Console::~Utf8Console() {
  if (streams_->savedOutput != nullptr) {
    std::cout.flush();
    std::cout.rdbuf(streams_->savedOutput);
  }
  if (streams_->savedInput != nullptr) {
    std::cin.rdbuf(streams_->savedInput);
  }
}

}  // namespace tunelift::ftp
