// The command a word names: found only for a word that begins a command name (without regard
// to case), ambiguous only when it begins names of two commands.
#include <set>

#include "ftp/command.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tunelift::ftp;
  const std::string_view word = tunelift::fuzz::AsText(data, size);
  const VerbLookup lookup = FindVerb(word);
  const std::string wanted = Lowercase(word);
  std::set<Verb> begun;
  bool exact = false;
  for (const CommandName& command : CommandNames()) {
    exact = exact || command.name == wanted;
    if (!wanted.empty() && command.name.starts_with(wanted)) {
      begun.insert(command.verb);
    }
  }
  using Result = VerbLookup::Result;
  tunelift::fuzz::Check((lookup.result == Result::Found) == (exact || begun.size() == 1),
                        "found exactly for a whole name or a unique beginning");
  tunelift::fuzz::Check((lookup.result == Result::Ambiguous) == (!exact && begun.size() > 1),
                        "ambiguous exactly when two commands begin so");
  tunelift::fuzz::Check(lookup.result != Result::Found || exact || begun.contains(lookup.verb),
                        "the command found is one the word begins");
  return 0;
}
