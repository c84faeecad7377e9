#pragma once
// The font the window is drawn in: the platform's 8-point dialog font, "MS Shell Dlg", which
// each system maps to its own face (Microsoft Sans Serif on English Windows, with the metrics
// of MS Sans Serif, the face the window was laid out in).

#include <windows.h>

#include <memory>
#include <type_traits>

namespace tunelift {

inline constexpr int kDialogFontPoints = 8;
inline constexpr wchar_t kDialogFontFace[] = L"MS Shell Dlg";
// The face the window was laid out in, for systems that map the dialog font to a wider one
// (Wine maps it to Tahoma, in which the longest label needs a line more than its box has).
inline constexpr wchar_t kLayoutFontFace[] = L"MS Sans Serif";

struct FontDeleter {
  void operator()(HFONT font) const noexcept { DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// The dots per inch of the screen the window shows on, as the system reports it to this
// program (96 unless the program is aware of the display's scaling).
int ScreenDpi();

// The font the window is drawn in at `dpi`: the 8-point dialog font. Where a caption or label
// would lose words in it, the face the window was laid out in, if the system has it in that
// size; else the dialog font as many pixels smaller as it takes for every text to show.
// Throws tunelift::Error when the system cannot make a font.
UniqueFont CreateWindowFont(int dpi);

}  // namespace tunelift
