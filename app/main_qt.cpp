// Tunelift: one window that stages MP3 files and hands them to the FTP client.

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "core/error.h"
#include "core/native_services.h"
#include "window/qt/desktop_start.h"
#include "window/qt/dialog_font.h"
#include "window/form_handlers.h"
#include "window/qt/main_window.h"
#include "window/qt/program_icon.h"
#include "window/qt/qt_dialogs.h"

int main(int argc, char* argv[]) {
  const std::unique_ptr<QApplication> app = tunelift::StartOnDesktop(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tunelift"));
  // Every window and box the program shows carries its icon, a box before the window too.
  QApplication::setWindowIcon(tunelift::ProgramIcon());
  // The menu entry's name (tunelift.desktop): Wayland compositors find the window's icon there.
  QGuiApplication::setDesktopFileName(QStringLiteral("tunelift"));
  tunelift::UseDialogFont(std::cerr);
  tunelift::QtDialogs dialogs;

  std::unique_ptr<tunelift::FileServices> services;
  try {
    services = tunelift::MakeNativeServices();
  } catch (const tunelift::Error& error) {
    dialogs.MsgBox(
        tunelift::FailureText("Could not find the program's folder.", error.description()),
        tunelift::msgbox::kOkOnly | tunelift::msgbox::kIconExclamation);
    return EXIT_FAILURE;
  }

  tunelift::MainWindow window(*services, dialogs);
  dialogs.SetOwner(&window);
  // A window that went while its sends ran ends the program only when it closes for good.
  QObject::connect(&window, &tunelift::MainWindow::ended, &window, &QApplication::quit,
                   Qt::QueuedConnection);
  // A window whose staging folder or script could not be made could do nothing useful.
  if (!window.Load()) {
    return EXIT_FAILURE;
  }
  window.show();
  return QApplication::exec();
}
