#pragma once
// A desktop of the test's own: an X server (Xvfb) on a display it chose itself, a real
// notification service (Debian's dunst) that prints every notification it receives, and a
// real status area (trayer). The session bus must be the test's own: the test runs under
// dbus-run-session. The process's DISPLAY names the new server. Everything stops when the
// object goes. Failures to start throw std::system_error or std::runtime_error.

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace tunelift::test {

// One notification as the service received it.
struct ReceivedNotification {
  std::string appName;
  std::string summary;
  std::string body;
  std::string urgency;  // LOW, NORMAL or CRITICAL
};

class DesktopSession {
public:
  DesktopSession();

  // Every notification the service has received so far, oldest first. Never waits.
  const std::vector<ReceivedNotification>& Notifications();

private:
  ChildProcess xServer_;
  std::string display_;
  ChildProcess notifications_;
  ChildProcess statusArea_;
  std::vector<std::string> block_;  // the lines of a notification being printed
  std::vector<ReceivedNotification> received_;
};

}  // namespace tunelift::test
