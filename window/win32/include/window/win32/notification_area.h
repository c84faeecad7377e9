#pragma once
// The window's place in the platform's notification area: the status icon while a send runs,
// and the notification that tells how a send ended, shown from that icon. Where the system has
// no notification area (no shell), there is no icon and no notification, and Tell says so.

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "window/send_report.h"

namespace tunelift {

class NotificationArea {
public:
  // The icon belongs to `window`, which receives `callbackMessage` for it and the timer
  // `noticeTimerId` while a notification shows; `window` must outlive this object.
  NotificationArea(HWND window, UINT callbackMessage, UINT_PTR noticeTimerId);
  // Takes the icon away.
  ~NotificationArea();
  NotificationArea(const NotificationArea&) = delete;
  NotificationArea& operator=(const NotificationArea&) = delete;

  // Shows the icon with `tooltip`; showing it again changes only the tooltip.
  void ShowSending(const std::string& tooltip);
  // Takes the icon away, unless a notification still shows from it.
  void HideSending() noexcept;
  // Shows `notice` as a notification from the icon; false where there is no notification area
  // or the notice is longer than a notification holds, so that the caller tells it another way.
  bool Tell(const SendNotice& notice);

  // True while a notice shows from the icon.
  bool NoticeShows() const { return noticeShows_; }

  // The window passes on the icon's callback message and the notice timer here.
  void OnIconMessage(LPARAM lParam);
  void OnNoticeTimer();
  // Puts the icon back after the shell has started again (its "TaskbarCreated" message).
  void OnShellRestarted();

  // The message the shell broadcasts when it has started again.
  static UINT ShellRestartedMessage();

private:
  NOTIFYICONDATAW IconData() const;
  // The send's tooltip while one runs, else the summary of the notice that shows.
  const std::wstring& Tooltip() const;
  // Adds the icon, or sets its tooltip when it shows; false where the system has no
  // notification area.
  bool ShowIcon() noexcept;
  void RemoveIcon() noexcept;
  void NoticeGone() noexcept;

  HWND window_;
  UINT callbackMessage_;
  UINT_PTR noticeTimerId_;
  HICON icon_;
  std::wstring sendingTooltip_;
  std::wstring noticeSummary_;
  bool iconShown_ = false;
  bool sending_ = false;
  bool noticeShows_ = false;
};

}  // namespace tunelift
