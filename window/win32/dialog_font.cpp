#include "window/win32/dialog_font.h"

#include <cwchar>
#include <functional>
#include <string>

#include "core/error.h"
#include "text/wide_text_win32.h"
#include "window/layout.h"
#include "control_layout.h"

namespace tunelift {

namespace {

constexpr int kPointsPerInch = 72;

// The font `face` whose characters are `height` pixels high.
UniqueFont CreateFontOfHeight(const wchar_t* face, int height) {
  LOGFONTW font{};
  font.lfHeight = -height;  // negative: the characters' height, as a point size means it
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  UniqueFont made(CreateFontIndirectW(&font));
  if (!made) {
    // GDI says no more than that it failed; what it lacks is room for one more object.
    throw Error(errnum::kOutOfMemory, "Cannot make the window's font");
  }
  return made;
}

// Runs `measure` with `font` selected into a screen context; false when there is none.
bool WithFont(HFONT font, const std::function<void(HDC)>& measure) {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) {
    return false;
  }
  const HGDIOBJ previous = SelectObject(screen, font);
  measure(screen);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return true;
}

// The height of the characters the system made `font` with; a face that lacks the size asked
// for (a bitmap face) gives the nearest it has.
int CharacterHeight(HFONT font) {
  TEXTMETRICW metrics{};
  WithFont(font, [&](HDC screen) { GetTextMetricsW(screen, &metrics); });
  return metrics.tmHeight - metrics.tmInternalLeading;
}

// Whether `text`, wrapped at word boundaries as labels and multi-line buttons wrap it, fits
// within `width` by `height` pixels in `font`. With nothing to measure with, it is drawn as
// it comes.
bool TextFits(HFONT font, const std::wstring& text, int width, int height) {
  RECT box{0, 0, width, 0};
  WithFont(font, [&](HDC screen) {
    DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &box,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  });
  return box.right <= width && box.bottom <= height;
}

// Whether every text that shows in the window shows whole in `font`.
bool TextsFit(HFONT font, int dpi) {
  const int clientWidth = TwipsToPixels(kClientWidth, dpi);
  for (const ControlSpec& control : kControls) {
    const RECT area = TextArea(control, dpi);
    if (control.text.empty() || area.left >= clientWidth) {
      continue;  // the current folder's label lies beyond the window's edge
    }
    if (!TextFits(font, WideFromUtf8(control.text), area.right - area.left,
                  area.bottom - area.top)) {
      return false;
    }
  }
  return true;
}

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

UniqueFont CreateWindowFont(int dpi) {
  const int height = MulDiv(kDialogFontPoints, dpi, kPointsPerInch);
  UniqueFont dialogFont = CreateFontOfHeight(kDialogFontFace, height);
  if (TextsFit(dialogFont.get(), dpi)) {
    return dialogFont;
  }
  UniqueFont layoutFont = CreateFontOfHeight(kLayoutFontFace, height);
  if (CharacterHeight(layoutFont.get()) == height && TextsFit(layoutFont.get(), dpi)) {
    return layoutFont;
  }
  for (int smaller = height - 1; smaller >= height * 3 / 4; --smaller) {
    UniqueFont font = CreateFontOfHeight(kDialogFontFace, smaller);
    if (TextsFit(font.get(), dpi)) {
      return font;
    }
  }
  return dialogFont;  // no size holds every text: the one asked for
}

}  // namespace tunelift
