// Tunelift: one window that stages MP3 files and hands them to the FTP client.

#include <QApplication>
#include <QFont>
#include <cstdlib>
#include <memory>

#include "core/error.h"
#include "core/native_services.h"
#include "window/form_handlers.h"
#include "window/main_window.h"
#include "window/qt_dialogs.h"

namespace {

// The window's places and sizes were drawn for the 8-point sans-serif of the Windows dialogs;
// Liberation Sans has the same metrics as Arial and keeps the captions inside their boxes,
// where a desktop's larger default font would cut them off. No control sets a font of its own.
void UseTheDesignedDialogFont() {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  QApplication::setFont(font);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tunelift"));
  UseTheDesignedDialogFont();
  tunelift::QtDialogs dialogs;

  std::unique_ptr<tunelift::FileServices> services;
  try {
    services = tunelift::MakeNativeServices();
  } catch (const tunelift::Error& error) {
    dialogs.MsgBox(tunelift::FailureText("Could not find the program's folder.", error.description()),
                   tunelift::msgbox::kOkOnly | tunelift::msgbox::kIconExclamation);
    return EXIT_FAILURE;
  }

  tunelift::MainWindow window(*services, dialogs);
  dialogs.SetOwner(&window);
  // A window whose staging folder or script could not be made could do nothing useful.
  if (!window.Load()) {
    return EXIT_FAILURE;
  }
  window.show();
  return QApplication::exec();
}
