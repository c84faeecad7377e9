#pragma once
// What the fuzz targets share: a check that stops the run on a broken promise, and the
// splitting of one input into several texts.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace tunelift::fuzz {

// Stops the run, so libFuzzer keeps the input, when a promise of the code under test fails.
inline void Check(bool kept, const char* promise) {
  if (!kept) {
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
  }
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The parts of `text` between NUL bytes, as several arguments or a pattern and a name.
inline std::vector<std::string_view> SplitAtNul(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t nul = text.find('\0'); nul != std::string_view::npos; nul = text.find('\0')) {
    parts.push_back(text.substr(0, nul));
    text.remove_prefix(nul + 1);
  }
  parts.push_back(text);
  return parts;
}

}  // namespace tunelift::fuzz
