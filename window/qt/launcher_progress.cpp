#include "window/qt/launcher_progress.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include "core/error.h"
#include "path_text.h"

namespace tunelift {

void LauncherProgress::Show(double done) {
  Update({{QStringLiteral("progress"), done}, {QStringLiteral("progress-visible"), true}});
}

void LauncherProgress::Hide() {
  Update({{QStringLiteral("progress"), 0.0}, {QStringLiteral("progress-visible"), false}});
}

void LauncherProgress::Update(const QVariantMap& properties) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (refused_ || !bus.isConnected()) {
    return;
  }
  QDBusMessage update =
      QDBusMessage::createSignal(QString::fromLatin1(kLauncherObjectPath),
                                 QString::fromLatin1(kLauncherInterface), QStringLiteral("Update"));
  update << QString::fromLatin1(kLauncherAppUri) << properties;
  if (!bus.send(update)) {
    refused_ = true;
    const QDBusError error = bus.lastError();
    throw Error(errnum::kDeviceUnavailable,
                "The session bus did not take the launcher's progress: " + ToText(error.name()) +
                    ": " + ToText(error.message()));
  }
}

}  // namespace tunelift
