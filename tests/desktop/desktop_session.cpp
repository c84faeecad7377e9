#include "desktop_session.h"

#include <stdlib.h>

#include <stdexcept>
#include <thread>

namespace tunelift::test {
namespace {

using namespace std::chrono_literals;

// Xvfb writes the number of the display it found free, then serves it.
std::string TakeDisplay(ChildProcess& xServer) {
  const std::string display = ":" + xServer.ReadLine(10s);
  setenv("DISPLAY", display.c_str(), 1);
  return display;
}

std::vector<std::string> NotificationServiceArguments() {
  if (getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
    throw std::runtime_error("no session bus of the test's own: run it under dbus-run-session");
  }
  // Debian's own configuration, whatever the user running the test has set up.
  return {"-config", "/etc/xdg/dunst/dunstrc", "-print"};
}

// Waits until `name` has an owner on the session bus, so that no call starts another
// service for it on demand.
void AwaitBusName(const std::string& name) {
  ProgramRun ask;
  ask.program = TUNELIFT_DBUS_SEND;
  ask.arguments = {"--session",
                   "--print-reply",
                   "--dest=org.freedesktop.DBus",
                   "/",
                   "org.freedesktop.DBus.NameHasOwner",
                   "string:" + name};
  for (int i = 0; i < 100; ++i) {
    const ProgramResult result = RunProgram(ask);
    if (result.exitCode == 0 && result.output.find("boolean true") != std::string::npos) {
      return;
    }
    std::this_thread::sleep_for(100ms);
  }
  throw std::runtime_error(name + " never appeared on the session bus");
}

// The text of `field` in dunst's printed record: "\tfield: 'TEXT'", TEXT maybe over lines.
std::string Field(const std::string& record, const std::string& field) {
  const std::string opening = "\n\t" + field + ": '";
  const std::size_t start = record.find(opening);
  if (start == std::string::npos) {
    return {};
  }
  const std::size_t from = start + opening.size();
  return record.substr(from, record.find("'\n\t", from) - from);
}

// dunst prints an unquoted urgency: "\turgency: CRITICAL".
std::string Urgency(const std::string& record) {
  const std::string opening = "\n\turgency: ";
  const std::size_t start = record.find(opening);
  if (start == std::string::npos) {
    return {};
  }
  const std::size_t from = start + opening.size();
  return record.substr(from, record.find('\n', from) - from);
}

}  // namespace

DesktopSession::DesktopSession()
    : xServer_(TUNELIFT_XVFB,
               {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"}),
      display_(TakeDisplay(xServer_)),
      notifications_(TUNELIFT_DUNST, NotificationServiceArguments()),
      statusArea_(TUNELIFT_TRAYER, {"--edge", "top", "--align", "right", "--widthtype", "request",
                                    "--height", "24"}) {
  AwaitBusName("org.freedesktop.Notifications");
}

const std::vector<ReceivedNotification>& DesktopSession::Notifications() {
  while (std::optional<std::string> line = notifications_.TryReadLine()) {
    if (*line == "{") {
      block_.clear();
    } else if (*line == "}") {
      std::string record;
      for (const std::string& part : block_) {
        record += "\n" + part;
      }
      record += "\n\t";
      received_.push_back({.appName = Field(record, "appname"),
                           .summary = Field(record, "summary"),
                           .body = Field(record, "body"),
                           .urgency = Urgency(record)});
    } else {
      block_.push_back(*line);
    }
  }
  return received_;
}

}  // namespace tunelift::test
