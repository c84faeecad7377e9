// The lines of a script or of standard input: every line comes back bounded and without its
// line end, a line too long is skipped, and no input makes the reader fail another way.
#include <sstream>

#include "ftp/line_reader.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tunelift::ftp;
  std::istringstream in{std::string(tunelift::fuzz::AsText(data, size))};
  LineReader reader(in);
  try {
    for (bool more = true; more;) {
      try {
        const std::optional<std::string> line =
            (size % 2 == 0) ? reader.Next() : reader.NextNonBlank();
        more = line.has_value();
        tunelift::fuzz::Check(!line || line->size() <= kMaxLineLength, "a line within the bound");
        tunelift::fuzz::Check(!line || line->find('\n') == std::string::npos, "no LF in a line");
      } catch (const LineTooLong&) {
        // Reported by the session; the next line can be read.
      }
    }
    tunelift::fuzz::Check(reader.AtEnd(), "the end of the input is known");
  } catch (const InputError&) {
    // A line that never ends: the input is given up.
  }
  return 0;
}
