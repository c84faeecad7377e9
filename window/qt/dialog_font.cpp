#include "window/qt/dialog_font.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>

#include "path_text.h"

namespace tunelift {
namespace {

struct FontFile {
  const char* fileName;
  int pixelSize;
};

constexpr FontFile kBitmapDialogFont{"ms_sans_serif.ttf", 13};
constexpr FontFile kScalableDialogFont{"tahoma.ttf", 10};
constexpr const char* kFallbackFamily = "Liberation Sans";
constexpr int kFallbackPixelSize = 10;

QFont PixelFont(const QString& family, int pixelSize) {
  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace

QFont LoadDialogFont(const DialogFontOptions& options, std::ostream& warnings) {
  const FontFile& wanted =
      options.devicePixelRatio == 1.0 ? kBitmapDialogFont : kScalableDialogFont;
  const QString path = QDir(options.fontFolder).filePath(QString::fromLatin1(wanted.fileName));
  const QStringList families =
      QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(path));
  if (!families.isEmpty()) {
    return PixelFont(families.first(), wanted.pixelSize);
  }
  warnings << "Tunelift: cannot load the dialog font " << ToText(path)
           << " (Debian package fonts-wine); the window is drawn in " << kFallbackFamily
           << " instead.\n";
  return PixelFont(QString::fromLatin1(kFallbackFamily), kFallbackPixelSize);
}

void UseDialogFont(std::ostream& warnings) {
  QApplication::setFont(LoadDialogFont({.devicePixelRatio = qApp->devicePixelRatio()}, warnings));
}

}  // namespace tunelift
