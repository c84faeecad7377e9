#pragma once
// The font the window is drawn in. Its places and sizes were laid out for the platform's
// 8-point dialog font, MS Sans Serif, whose 13-pixel strike Debian ships (package fonts-wine)
// with the original's metrics; Tunelift ships no font file of its own.

#include <QFont>
#include <QString>
#include <ostream>

namespace tunelift {

struct DialogFontOptions {
  // Where fonts-wine installs its fonts.
  QString fontFolder = QStringLiteral("/usr/share/wine/fonts");
  // Device pixels per logical pixel on the screens the window may show on.
  qreal devicePixelRatio = 1;
};

// MS Sans Serif at 13 pixels where logical pixels are drawn one to one. Where the screen scales
// them, the bitmap font has no strike of the scaled size, so the font is Tahoma at 10 pixels, a
// scalable font of close metrics from the same package. When that font cannot be loaded, the
// sans-serif Liberation Sans at 10 pixels, at which every text of the window still fits, and
// one line on `warnings` that says so.
QFont LoadDialogFont(const DialogFontOptions& options, std::ostream& warnings);

// Loads the dialog font for the application's screens and makes it the application's font, so
// that every control, dialog and message box is drawn in it. Needs a QApplication.
void UseDialogFont(std::ostream& warnings);

}  // namespace tunelift
