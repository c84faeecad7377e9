#include <windows.h>

#include "system_names.h"

namespace tunelift::system_names {

std::u32string UpperCase(std::u32string text) {
  // The file system's own mapping works on UTF-16 units; characters beyond the BMP have no
  // case that it maps, so only BMP characters go through it, in one call.
  const auto mapped = [](char32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0xFFFF); };
  std::wstring units;
  for (const char32_t c : text) {
    units.push_back(mapped(c) ? static_cast<wchar_t>(c) : L'\0');
  }
  if (units.empty()) {
    return text;
  }
  std::wstring upper(units.size(), L'\0');
  const int length = static_cast<int>(units.size());
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units.data(), length, upper.data(),
                    length, nullptr, nullptr, 0) != length) {
    return text;  // the system could not map it: compare as written rather than fail
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = mapped(text[i]) ? static_cast<char32_t>(upper[i]) : text[i];
  }
  return text;
}

bool HasHiddenAttribute(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

}  // namespace tunelift::system_names
