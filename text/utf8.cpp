#include "text/utf8.h"

namespace tunelift {
namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The lead bytes of multi-byte sequences: which bits mark them, how long the sequence is, and
// the smallest code point it may carry (anything smaller is an overlong form).
struct Lead {
  unsigned char mask;
  unsigned char marker;
  std::size_t length;
  char32_t smallest;
};
constexpr Lead kLeads[] = {{0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};

const Lead* LeadOf(unsigned char first) {
  for (const Lead& candidate : kLeads) {
    if ((first & candidate.mask) == candidate.marker) {
      return &candidate;
    }
  }
  return nullptr;
}

}  // namespace

Utf8Char DecodeUtf8(std::string_view text) {
  const auto first = static_cast<unsigned char>(text[0]);
  if (first < 0x80) {
    return {1, first};
  }
  const Lead* lead = LeadOf(first);
  if (lead == nullptr || text.size() < lead->length) {
    return {};
  }
  char32_t code = first & static_cast<unsigned char>(~lead->mask);
  for (std::size_t i = 1; i < lead->length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!IsContinuation(byte)) {
      return {};
    }
    code = (code << 6) | (byte & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < lead->smallest || surrogate || code > 0x10FFFF) {
    return {};
  }
  return {lead->length, code};
}

}  // namespace tunelift
