// The words of a command line: never more text than the line had, no blank inside a word
// that was not quoted, and the same words when the line is split again from its words.
#include "ftp/command.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tunelift::ftp;
  const std::string_view line = tunelift::fuzz::AsText(data, size);
  const std::vector<std::string> words = SplitWords(line);
  std::size_t total = 0;
  for (const std::string& word : words) {
    total += word.size();
  }
  tunelift::fuzz::Check(total <= line.size(), "words hold no more than the line");
  if (line.find('"') == std::string_view::npos) {
    std::string joined;
    for (const std::string& word : words) {
      tunelift::fuzz::Check(!word.empty() && word.find_first_of(" \t") == std::string::npos,
                            "an unquoted word is not empty and holds no blank");
      joined += word + " ";
    }
    tunelift::fuzz::Check(SplitWords(joined) == words, "words split again stay the same");
  }
  return 0;
}
