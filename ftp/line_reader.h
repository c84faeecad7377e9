#pragma once
// The lines of the command source, a script or standard input, as the Windows client takes
// them: a line ends in LF or CR LF, and the CR is not part of it. Every line is bounded, so
// no input, however long its lines, makes the client grow without limit.

#include <cstddef>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>

namespace tunelift::ftp {

// No real script comes near it: a command, a remote name and a local path fit many times.
inline constexpr std::size_t kMaxLineLength = 8192;
// Beyond this a line is no command that was cut short, but input that is not a script.
inline constexpr std::size_t kMaxSkippedLength = 1024 * 1024;

// A line longer than kMaxLineLength; the rest of it has been skipped, and the next line can
// be read.
class LineTooLong : public std::runtime_error {
public:
  explicit LineTooLong(std::size_t lineNumber);
};

// The input cannot be read on: it failed, or a line did not end within kMaxSkippedLength.
class InputError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class LineReader {
public:
  // `in` must outlive the reader.
  explicit LineReader(std::istream& in);

  // The next line, blank or not (answers to prompts may be empty); nullopt at the end of the
  // input. Throws LineTooLong or InputError.
  std::optional<std::string> Next();
  // The next line that holds more than blanks: commands skip blank lines.
  std::optional<std::string> NextNonBlank();
  // True once the input has ended.
  bool AtEnd() const { return atEnd_; }

private:
  // Reads up to and with the next LF, dropping what it reads; throws InputError when there is
  // more than kMaxSkippedLength of it.
  void SkipRestOfLine();

  std::istream& in_;
  std::size_t lineNumber_ = 0;
  bool atEnd_ = false;
};

}  // namespace tunelift::ftp
