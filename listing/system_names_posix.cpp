#include <locale.h>
#include <wctype.h>

#include "system_names.h"

namespace tunelift::system_names {
namespace {

// The C library's Unicode tables, whatever locale the program runs in; C.UTF-8 is built
// into the C library. Made once, kept for the process's life.
locale_t UnicodeLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

std::u32string UpperCase(std::u32string text) {
  const locale_t locale = UnicodeLocale();
  for (char32_t& c : text) {
    if (c < 0x80) {
      c = (c >= U'a' && c <= U'z') ? c - U'a' + U'A' : c;
    } else if (locale != static_cast<locale_t>(0)) {
      c = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
    }
  }
  return text;
}

// POSIX has no hidden attribute: only the leading dot hides a name.
bool HasHiddenAttribute(const std::filesystem::path&) {
  return false;
}

}  // namespace tunelift::system_names
