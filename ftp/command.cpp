#include "command.h"

#include <algorithm>
#include <array>

namespace tunelift::ftp {
namespace {

constexpr std::array kCommandNames{
    CommandName{"?", Verb::Help},
    CommandName{"ascii", Verb::Ascii},
    CommandName{"binary", Verb::Binary},
    CommandName{"bye", Verb::Bye},
    CommandName{"cd", Verb::Cd},
    CommandName{"close", Verb::Close},
    CommandName{"disconnect", Verb::Close},
    CommandName{"help", Verb::Help},
    CommandName{"lcd", Verb::Lcd},
    CommandName{"mput", Verb::Mput},
    CommandName{"open", Verb::Open},
    CommandName{"prompt", Verb::Prompt},
    CommandName{"put", Verb::Put},
    CommandName{"quit", Verb::Bye},
    CommandName{"send", Verb::Put},
    CommandName{"type", Verb::Type},
    CommandName{"user", Verb::User},
};

}  // namespace

std::span<const CommandName> CommandNames() {
  return kCommandNames;
}

VerbLookup FindVerb(std::string_view word) {
  const std::string wanted = Lowercase(word);
  VerbLookup lookup;
  for (const CommandName& command : kCommandNames) {
    if (command.name == wanted) {
      return {VerbLookup::Result::Found, command.verb};
    }
    if (wanted.empty() || !command.name.starts_with(wanted)) {
      continue;
    }
    const bool other = lookup.result == VerbLookup::Result::Found && lookup.verb != command.verb;
    if (lookup.result == VerbLookup::Result::Unknown) {
      lookup = {VerbLookup::Result::Found, command.verb};
    } else if (other) {
      lookup.result = VerbLookup::Result::Ambiguous;
    }
  }
  return lookup;
}

std::vector<std::string> SplitWords(std::string_view line) {
  constexpr std::string_view kBlanks = " \t";
  constexpr std::size_t kNone = std::string_view::npos;
  std::vector<std::string> words;
  std::size_t at = line.find_first_not_of(kBlanks);
  while (at != kNone) {
    std::size_t end = kNone;
    if (line[at] == '"') {
      end = line.find('"', at + 1);
      words.emplace_back(line.substr(at + 1, end - at - 1));  // an open quote runs to the end
      end = end == kNone ? kNone : end + 1;
    } else {
      end = line.find_first_of(kBlanks, at);
      words.emplace_back(line.substr(at, end - at));
    }
    at = line.find_first_not_of(kBlanks, end);
  }
  return words;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

std::string Lowercase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return result;
}

}  // namespace tunelift::ftp
