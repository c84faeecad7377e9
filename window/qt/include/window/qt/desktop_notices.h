#pragma once
// The desktop's part in a send, on Qt: a status icon (QSystemTrayIcon) while the FTP client
// runs, where the desktop has a status area, and a notification when a send has ended,
// through the desktop's notification service (org.freedesktop.Notifications on the session
// bus) wherever one answers. Where none answers, a message box tells it instead.

#include <QObject>
#include <functional>
#include <map>
#include <QString>
#include <QStringList>

#include "window/dialogs.h"
#include "window/send_report.h"

class QDBusMessage;
class QDBusPendingCall;
class QDBusPendingCallWatcher;
class QMenu;
class QSystemTrayIcon;

namespace tunelift {

class DesktopNotices : public QObject {
  Q_OBJECT

public:
  // `fallback` shows the message box when no notification service answers; it must outlive
  // this object.
  explicit DesktopNotices(Dialogs& fallback, QObject* parent = nullptr);
  // Waits for notifications still on their way to the service (each call is bounded), so
  // that one told just before the program ends is not lost with it.
  ~DesktopNotices() override;

  // The status icon's context menu from now on; it must outlive this object or be
  // replaced first.
  void SetMenu(QMenu* menu);
  // Shows the status icon with `tooltip` and the menu, where the desktop has a status area.
  void ShowSending(const QString& tooltip);
  void HideSending();
  // Hands the notice to the notification service and returns at once.
  void Tell(const SendNotice& notice);

private:
  using ReplyHandler = std::function<void(const QDBusMessage& reply)>;

  // Passes the reply to `onReply` (if any); a call that fails tells `notice` in a box instead.
  void Await(const QDBusPendingCall& call, const SendNotice& notice, ReplyHandler onReply);
  // Runs what waits on `call`'s reply, once, whether the reply came by the event loop or by
  // the destructor's wait.
  void Answered(QDBusPendingCallWatcher* call);
  void Notify(const SendNotice& notice, const QStringList& capabilities);
  void TellInABox(const SendNotice& notice);

  Dialogs& fallback_;
  QSystemTrayIcon* icon_ = nullptr;
  QMenu* menu_ = nullptr;
  std::map<QDBusPendingCallWatcher*, std::function<void()>> awaited_;
};

}  // namespace tunelift
