#pragma once
// The lines of the command source, a script or standard input, as the Windows client takes
// them: a line ends in LF or CR LF, and the CR is not part of it.

#include <istream>
#include <optional>
#include <string>

namespace tunelift::ftp {

class LineReader {
public:
  // `in` must outlive the reader.
  explicit LineReader(std::istream& in);

  // The next line, blank or not (answers to prompts may be empty); nullopt at the end of the
  // input. Throws std::ios_base::failure when the input cannot be read.
  std::optional<std::string> Next();
  // The next line that holds more than blanks: commands skip blank lines.
  std::optional<std::string> NextNonBlank();

private:
  std::istream& in_;
};

}  // namespace tunelift::ftp
