#include "window/win32/notification_area.h"

#include <cwchar>
#include <string_view>

#include "text/wide_text_win32.h"
#include "program_icon.h"

namespace tunelift {
namespace {

constexpr UINT kIconId = 1;
// Long enough to be read; a notice of a send that went needs no answer, so it then goes.
constexpr UINT kNoticeShowsMs = 20000;

// Copies `text` into the fixed array `field`; false when it does not fit whole.
template <std::size_t N>
bool CopyWhole(wchar_t (&field)[N], std::wstring_view text) {
  if (text.size() >= N) {
    return false;
  }
  std::wmemcpy(field, text.data(), text.size());
  field[text.size()] = L'\0';
  return true;
}

// As much of `text` as `field` holds, never half a character.
template <std::size_t N>
void CopyShortened(wchar_t (&field)[N], std::wstring_view text) {
  std::size_t length = text.size() < N ? text.size() : N - 1;
  if (length > 0 && length < text.size() && IS_HIGH_SURROGATE(text[length - 1])) {
    --length;
  }
  CopyWhole(field, text.substr(0, length));
}

}  // namespace

NotificationArea::NotificationArea(HWND window, UINT callbackMessage, UINT_PTR noticeTimerId)
    : window_(window),
      callbackMessage_(callbackMessage),
      noticeTimerId_(noticeTimerId),
      icon_(ProgramIcon(GetSystemMetrics(SM_CXSMICON))) {}

NotificationArea::~NotificationArea() {
  KillTimer(window_, noticeTimerId_);
  RemoveIcon();
}

UINT NotificationArea::ShellRestartedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

NOTIFYICONDATAW NotificationArea::IconData() const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = kIconId;
  return data;
}

const std::wstring& NotificationArea::Tooltip() const {
  return sending_ ? sendingTooltip_ : noticeSummary_;
}

bool NotificationArea::ShowIcon() noexcept {
  NOTIFYICONDATAW data = IconData();
  data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE | NIF_SHOWTIP;
  data.uCallbackMessage = callbackMessage_;
  data.hIcon = icon_;
  CopyShortened(data.szTip, Tooltip());
  if (iconShown_) {
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
  }
  if (!Shell_NotifyIconW(NIM_ADD, &data)) {
    return false;
  }
  iconShown_ = true;
  // Clicks and the notification's own events arrive in the current form.
  data.uVersion = NOTIFYICON_VERSION_4;
  Shell_NotifyIconW(NIM_SETVERSION, &data);
  return true;
}

void NotificationArea::RemoveIcon() noexcept {
  if (!iconShown_) {
    return;
  }
  NOTIFYICONDATAW data = IconData();
  Shell_NotifyIconW(NIM_DELETE, &data);
  iconShown_ = false;
}

void NotificationArea::ShowSending(const std::string& tooltip) {
  // A new send takes the place of any notice still shown from the icon.
  KillTimer(window_, noticeTimerId_);
  noticeShows_ = false;
  sendingTooltip_ = WideForDisplay(tooltip);
  sending_ = true;
  ShowIcon();
}

void NotificationArea::HideSending() noexcept {
  sending_ = false;
  if (noticeShows_) {
    ShowIcon();  // the tooltip goes back to the notice's summary
  } else {
    RemoveIcon();
  }
}

bool NotificationArea::Tell(const SendNotice& notice) {
  NOTIFYICONDATAW data = IconData();
  data.uFlags = NIF_INFO;
  data.dwInfoFlags = notice.failed ? NIIF_WARNING : NIIF_INFO;
  const std::wstring summary = WideForDisplay(notice.summary);
  if (!CopyWhole(data.szInfoTitle, summary) ||
      !CopyWhole(data.szInfo, WideForDisplay(notice.body))) {
    return false;
  }
  const bool noticeShowed = noticeShows_;
  noticeSummary_ = summary;
  noticeShows_ = true;
  if (!ShowIcon() || !Shell_NotifyIconW(NIM_MODIFY, &data)) {
    noticeShows_ = noticeShowed;
    if (!sending_ && !noticeShows_) {
      RemoveIcon();
    }
    return false;
  }
  KillTimer(window_, noticeTimerId_);
  // A failure stays, its summary as the icon's tooltip, until the user has seen it: until
  // the icon or the notification is clicked, or the next send.
  if (!notice.failed) {
    SetTimer(window_, noticeTimerId_, kNoticeShowsMs, nullptr);
  }
  return true;
}

void NotificationArea::OnIconMessage(LPARAM lParam) {
  switch (LOWORD(lParam)) {
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case NIN_BALLOONUSERCLICK:
    case WM_LBUTTONUP: NoticeGone(); break;
    default: break;
  }
}

void NotificationArea::OnNoticeTimer() {
  NoticeGone();
}

void NotificationArea::NoticeGone() noexcept {
  KillTimer(window_, noticeTimerId_);
  if (!noticeShows_) {
    return;
  }
  noticeShows_ = false;
  if (!sending_) {
    RemoveIcon();
  }
}

void NotificationArea::OnShellRestarted() {
  if (iconShown_) {
    iconShown_ = false;  // the new shell has none of the old icons
    ShowIcon();
  }
}

}  // namespace tunelift
