// Looks at the Tunelift window that another program shows, as the package check needs it:
// waits for it (10 s at most), prints its title and client size ("Tunelift 410x300"), then
// closes it as its close box would. Exit status 1 when no window showed.

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "window/win32/win32_window.h"

int wmain() {
  for (int i = 0; i < 500; ++i) {
    const HWND window = FindWindowW(tunelift::kWindowClassName, nullptr);
    if (window != nullptr && IsWindowVisible(window)) {
      wchar_t title[256] = {};
      GetWindowTextW(window, title, 256);
      RECT client{};
      GetClientRect(window, &client);
      std::printf("%ls %ldx%ld\n", title, client.right, client.bottom);
      PostMessageW(window, WM_CLOSE, 0, 0);
      return EXIT_SUCCESS;
    }
    Sleep(20);
  }
  std::fprintf(stderr, "No Tunelift window showed within 10 s.\n");
  return EXIT_FAILURE;
}
