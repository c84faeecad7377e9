#include "window/qt/desktop_notices.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QVariantMap>
#include <QtGlobal>
#include <exception>

#include "path_text.h"
#include "window/qt/program_icon.h"

namespace tunelift {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// A service that is started on demand answers well within this; a hung one must not keep
// the notice, or the program's end, waiting longer.
constexpr int kCallTimeoutMs = 5000;
// The notification's urgency hint, as every notification service reads it: a failure is
// critical, so that it stays until the user has seen it.
constexpr uchar kUrgencyNormal = 1;
constexpr uchar kUrgencyCritical = 2;

QDBusMessage NotificationsCall(const QString& method) {
  return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

DesktopNotices::DesktopNotices(Dialogs& fallback, QObject* parent)
    : QObject(parent), fallback_(fallback) {}

DesktopNotices::~DesktopNotices() {
  // A reply may start the next call (the notification after the service's capabilities).
  try {
    while (!awaited_.empty()) {
      QDBusPendingCallWatcher* call = awaited_.begin()->first;
      call->waitForFinished();
      Answered(call);
    }
  } catch (const std::exception& error) {
    // The fallback box failed on the way out; a destructor must not throw, so say it here.
    qWarning("Tunelift could not tell how a send ended: %s", error.what());
  }
}

void DesktopNotices::SetMenu(QMenu* menu) {
  menu_ = menu;
  if (icon_ != nullptr) {
    icon_->setContextMenu(menu_);
  }
}

void DesktopNotices::ShowSending(const QString& tooltip) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    return;
  }
  if (icon_ == nullptr) {
    icon_ = new QSystemTrayIcon(ProgramIcon(), this);
    icon_->setObjectName(QStringLiteral("SendingIcon"));
    icon_->setContextMenu(menu_);
  }
  icon_->setToolTip(tooltip);
  icon_->show();
}

void DesktopNotices::HideSending() {
  if (icon_ != nullptr) {
    icon_->hide();
  }
}

void DesktopNotices::Tell(const SendNotice& notice) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    return TellInABox(notice);
  }
  // Whether the service reads markup in the body decides how the body must be written.
  Await(bus.asyncCall(NotificationsCall(QStringLiteral("GetCapabilities")), kCallTimeoutMs), notice,
        [this, notice](const QDBusMessage& reply) {
          const QList<QVariant> values = reply.arguments();
          Notify(notice, values.isEmpty() ? QStringList() : values.first().toStringList());
        });
}

void DesktopNotices::Await(const QDBusPendingCall& call, const SendNotice& notice,
                           ReplyHandler onReply) {
  auto* watcher = new QDBusPendingCallWatcher(call, this);
  awaited_[watcher] = [this, watcher, notice, onReply = std::move(onReply)] {
    const QDBusMessage reply = watcher->reply();
    if (reply.type() != QDBusMessage::ReplyMessage) {
      TellInABox(notice);
    } else if (onReply) {
      onReply(reply);
    }
  };
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopNotices::Answered);
}

void DesktopNotices::Answered(QDBusPendingCallWatcher* call) {
  const auto found = awaited_.find(call);
  if (found == awaited_.end()) {
    return;
  }
  const std::function<void()> then = std::move(found->second);
  awaited_.erase(found);
  call->deleteLater();
  then();
}

void DesktopNotices::Notify(const SendNotice& notice, const QStringList& capabilities) {
  QString body = ToQString(notice.body);
  // With markup, "<" and "&" in a server's or a file's name would be read as tags. Quotes
  // stay: outside a tag they mean nothing, and not every service knows their entities.
  if (capabilities.contains(QStringLiteral("body-markup"))) {
    body.replace(u'&', QStringLiteral("&amp;"))
        .replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;"));
  }
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"),
               QVariant::fromValue(notice.failed ? kUrgencyCritical : kUrgencyNormal));
  QDBusMessage call = NotificationsCall(QStringLiteral("Notify"));
  call << ToQString(kApplicationTitle) << 0U << QString() << ToQString(notice.summary) << body
       << QStringList() << hints << -1;
  Await(QDBusConnection::sessionBus().asyncCall(call, kCallTimeoutMs), notice, {});
}

void DesktopNotices::TellInABox(const SendNotice& notice) {
  fallback_.MsgBox(MessageBoxText(notice), MessageBoxStyle(notice));
}

}  // namespace tunelift
