#include "ftp/line_reader.h"

namespace tunelift::ftp {

LineReader::LineReader(std::istream& in) : in_(in) {}

std::optional<std::string> LineReader::Next() {
  std::string line;
  if (!std::getline(in_, line)) {
    if (in_.bad()) {
      throw std::ios_base::failure("The commands could not be read");
    }
    return std::nullopt;
  }
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

}  // namespace tunelift::ftp
