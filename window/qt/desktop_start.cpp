#include "window/qt/desktop_start.h"

#include <QByteArray>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace tunelift {
namespace {

// Qt's messages while the application is being created: a message handler is a plain function,
// so what it holds lives here.
QStringList heldMessages;

QByteArray Describe(const char* variable) {
  const QByteArray value = qgetenv(variable);
  return value.isEmpty() ? QByteArray(variable) + " is not set"
                         : QByteArray(variable) + "=" + value;
}

void HoldOrGiveUp(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    heldMessages.append(qFormatLogMessage(type, context, message));
    return;
  }
  // Qt gives up only when no platform could be started: no desktop answered.
  std::fprintf(stderr,
               "Tunelift needs a desktop, and no display answered (%s, %s).\n"
               "Start it from a desktop session (X11 or Wayland).\n",
               Describe("DISPLAY").constData(), Describe("WAYLAND_DISPLAY").constData());
  std::_Exit(EXIT_FAILURE);
}

}  // namespace

std::unique_ptr<QApplication> StartOnDesktop(int& argc, char** argv) {
  const QtMessageHandler qtHandler = qInstallMessageHandler(HoldOrGiveUp);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(qtHandler);
  for (const QString& message : heldMessages) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
  }
  heldMessages.clear();
  return application;
}

}  // namespace tunelift
