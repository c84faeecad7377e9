#include "line_reader.h"

namespace tunelift::ftp {

LineTooLong::LineTooLong(std::size_t lineNumber)
    : std::runtime_error("Line " + std::to_string(lineNumber) + " is longer than " +
                         std::to_string(kMaxLineLength) + " characters; it is skipped.") {}

LineReader::LineReader(std::istream& in) : in_(in) {}

std::optional<std::string> LineReader::Next() {
  std::string line;
  bool readAny = false;
  char c = 0;
  while (in_.get(c)) {
    readAny = true;
    if (c == '\n') {
      break;
    }
    if (line.size() == kMaxLineLength) {
      ++lineNumber_;
      SkipRestOfLine();
      throw LineTooLong(lineNumber_);
    }
    line.push_back(c);
  }
  if (in_.bad()) {
    throw InputError("The commands could not be read.");
  }
  if (!readAny) {
    atEnd_ = true;
    return std::nullopt;
  }
  ++lineNumber_;
  if (line.ends_with('\r')) {
    line.pop_back();
  }
  return line;
}

std::optional<std::string> LineReader::NextNonBlank() {
  for (std::optional<std::string> line = Next(); line; line = Next()) {
    if (line->find_first_not_of(" \t") != std::string::npos) {
      return line;
    }
  }
  return std::nullopt;
}

void LineReader::SkipRestOfLine() {
  char c = 0;
  for (std::size_t skipped = 0; in_.get(c) && c != '\n'; ++skipped) {
    if (skipped == kMaxSkippedLength) {
      throw InputError("Line " + std::to_string(lineNumber_) + " does not end within " +
                       std::to_string(kMaxSkippedLength) +
                       " characters: this is no command script, and it is not read on.");
    }
  }
  if (in_.bad()) {
    throw InputError("The commands could not be read.");
  }
}

}  // namespace tunelift::ftp
