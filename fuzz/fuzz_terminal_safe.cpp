// What the client prints: whatever the text, the terminal gets valid UTF-8 without control
// characters but the tab, filtering twice changes nothing, and nothing is lost but for "?".
#include <clocale>
#include <cwchar>

#include "ftp/console.h"
#include "fuzz_check.h"

namespace {

// Checked with the C library's own UTF-8 decoder, apart from the filter's.
bool ShowsOnlyText(const std::string& text) {
  std::mbstate_t state{};
  const char* at = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    wchar_t code = 0;
    const std::size_t length = std::mbrtowc(&code, at, left, &state);
    if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2) ||
        length == 0) {
      return false;
    }
    const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
    if (control && code != L'\t') {
      return false;
    }
    at += length;
    left -= length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tunelift;
  const std::string_view text = fuzz::AsText(data, size);
  const std::string shown = ftp::TerminalSafe(text);
  fuzz::Check(ShowsOnlyText(shown), "valid UTF-8 without control characters");
  fuzz::Check(ftp::TerminalSafe(shown) == shown, "filtering twice changes nothing");
  fuzz::Check(shown.size() <= text.size(), "never longer than the text");
  return 0;
}
