#pragma once
// What the window's handlers touch of the window itself, so that the same handlers drive the
// Qt window and a native one. Texts are the platform's own paths and names.

#include <string>
#include <string_view>

#include "window/send_report.h"

namespace tunelift {

// A list of the names (without folder) of the files in one folder that match a pattern.
class FileList {
public:
  virtual ~FileList() = default;

  virtual std::string Path() const = 0;
  // Points the list at `folder` and reads it; throws tunelift::Error when it cannot be read.
  virtual void SetPath(const std::string& folder) = 0;
  // The selected entry's position counted from 0; -1 when nothing is selected.
  virtual int ListIndex() const = 0;
  // The name at `index` (0 <= index < number of entries), as it is on disk.
  virtual std::string List(int index) const = 0;
  // Reads the folder again; throws tunelift::Error when it cannot be read, and then lists
  // nothing.
  virtual void Refresh() = 0;
};

// How often the send timer runs: often enough that the news of a send comes at once to the
// user's eye; rare enough to cost nothing.
inline constexpr int kSendTimerIntervalMs = 250;
// How often the copy timer runs while a chosen file is copied: often enough that a short copy's
// file is listed at once and the progress bar moves smoothly; rare enough to cost nothing.
inline constexpr int kCopyTimerIntervalMs = 25;

class FormView {
public:
  virtual ~FormView() = default;

  virtual FileList& StagedFiles() = 0;
  virtual void SetFolderCaption(const std::string& caption) = 0;
  // Closes the window; as it is the only one, the program ends once the handler returns.
  virtual void Unload() = 0;
  // True once Unload has closed the window.
  virtual bool Unloaded() const = 0;
  // Shows the busy cursor until the matching EndBusy.
  virtual void BeginBusy() = 0;
  virtual void EndBusy() noexcept = 0;

  // The sign on the desktop that a send runs, the analogue of the client's minimised window:
  // a status icon with `tooltip` and a menu (kSendingMenu), where the desktop has a status
  // area. Showing it again while it shows changes only its tooltip.
  virtual void ShowSending(std::string_view tooltip) = 0;
  virtual void HideSending() noexcept = 0;
  // How far the send has come, on the program's button in the desktop's launcher or
  // taskbar: `done` of it, from 0 to 1.
  virtual void ShowSendProgress(double done) = 0;
  // Takes that progress away once no send runs; with `failed`, the button shows that a send
  // failed where the platform can (the taskbar button red), until the window is next
  // activated.
  virtual void EndSendProgress(bool failed) = 0;
  // Opens the file at `path` in the desktop's own viewer for its kind and returns at once;
  // throws tunelift::Error when no viewer can be started.
  virtual void OpenInViewer(const std::string& path) = 0;
  // Takes the window off the screen while its sends go on: the program runs on, its status
  // icon shown and its send timer running, until Unload.
  virtual void HideUntilSendsEnd() = 0;
  // Tells the user how a send ended, through the desktop's notifications; where the desktop
  // has none, in a message box.
  virtual void TellSendEnded(const SendNotice& notice) = 0;
  // While enabled, the window runs the handlers' SendTimerTick every few tenths of a second
  // on its own thread, between other events.
  virtual void SetSendTimer(bool enabled) = 0;
  // While enabled, the window runs the handlers' CopyTimerTick every few hundredths of a
  // second on its own thread, between other events, as it does the send timer's.
  virtual void SetCopyTimer(bool enabled) = 0;
};

// Shows the busy cursor for as long as it lives, however the scope is left.
class BusyScope {
public:
  explicit BusyScope(FormView& view) : view_(view) { view_.BeginBusy(); }
  ~BusyScope() { view_.EndBusy(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

private:
  FormView& view_;
};

}  // namespace tunelift
