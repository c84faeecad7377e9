// Tunelift: one window that stages MP3 files and hands them to the FTP client.

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <optional>

#include "core/error.h"
#include "core/native_services.h"
#include "window/form_handlers.h"
#include "window/win32/win32_dialogs.h"
#include "window/win32/win32_window.h"

namespace {

int Refuse(tunelift::Dialogs& dialogs, const char* action, const tunelift::Error& error) {
  dialogs.MsgBox(tunelift::FailureText(action, error.description()),
                 tunelift::msgbox::kOkOnly | tunelift::msgbox::kIconExclamation);
  return EXIT_FAILURE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  tunelift::Win32Dialogs dialogs;

  std::unique_ptr<tunelift::FileServices> services;
  try {
    services = tunelift::MakeNativeServices();
  } catch (const tunelift::Error& error) {
    return Refuse(dialogs, "Could not find the program's folder.", error);
  }

  std::optional<tunelift::Win32Window> window;
  try {
    window.emplace(*services, dialogs);
  } catch (const tunelift::Error& error) {
    return Refuse(dialogs, "Could not open the window.", error);
  }
  dialogs.SetOwner(window->Handle());
  // A window whose staging folder or script could not be made could do nothing useful.
  if (!window->Load()) {
    return EXIT_FAILURE;
  }
  window->Show(showCommand);
  return tunelift::RunMessageLoop(*window);
}
