#include "window/win32/dialog_font.h"

#include <cwchar>

#include "core/error.h"

namespace tunelift {

namespace {
constexpr int kPointsPerInch = 72;
}  // namespace

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) {
    ReleaseDC(nullptr, screen);
  }
  // A screen that cannot be asked is taken as the usual one.
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

UniqueFont CreateDialogFont(int dpi, const wchar_t* face) {
  LOGFONTW font{};
  // A negative height asks for the character height, as a point size means it.
  font.lfHeight = -MulDiv(kDialogFontPoints, dpi, kPointsPerInch);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  UniqueFont made(CreateFontIndirectW(&font));
  if (!made) {
    // GDI says no more than that it failed; what it lacks is room for one more object.
    throw Error(errnum::kOutOfMemory, "Cannot make the window's 8-point font");
  }
  return made;
}

bool TextFits(HFONT font, const std::wstring& text, int width, int height) {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) {
    return true;  // nothing to measure with: the text is drawn as it comes
  }
  const HGDIOBJ previous = SelectObject(screen, font);
  RECT box{0, 0, width, 0};
  DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &box,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return box.right <= width && box.bottom <= height;
}

}  // namespace tunelift
