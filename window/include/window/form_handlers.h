#pragma once
// The behaviour of the one window: its load event, the clicks on its five buttons, each
// calling the staging operations in a fixed order and adding the dialogs, the list's refresh
// and the window's closing, and the send timer, which tells the user how each send ended.
// Written against FormView and Dialogs, not against a toolkit.
//
// A chosen file is copied on a thread of its own (StagingCopy); the copy timer's ticks follow
// it, show its progress dialog once it has taken longer than FormOptions::progressDelay, and
// end it. While it runs, every button is refused with a word that a song is still being
// copied; Cancel stops it, leaving the staging folder as it was; so does closing the window.
//
// Error policy: the open-file dialog's failures are handled by ChooseAndStageFile itself; the
// staging folder found missing at Finish is reported by Finish; a copy's failure is
// reported as the tick that finds it ended (a cancelled copy is not); server settings that
// cannot be used are told by Load, which goes on without a script. Any other exception
// (a tunelift::Error or anything else) ends the handler it came from and is reported by Run,
// the one place that catches it, in a message box that says what could not be done and why;
// the window stays. Run then refreshes the list, failed or not, unless the window is gone.

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/staging_area.h"
#include "window/dialogs.h"
#include "window/form_view.h"
#include "window/staging_copy.h"

namespace tunelift {

// How long a pick may take to copy before its progress dialog shows.
inline constexpr std::chrono::milliseconds kProgressDelay{500};

struct FormOptions {
  // How long a copy runs before its progress dialog shows (a test's may be shorter).
  std::chrono::milliseconds progressDelay = kProgressDelay;
};

class FormHandlers {
public:
  using Handler = void (FormHandlers::*)();

  // All three must outlive this object. The staging area is built on `services`. Load
  // reads the server settings (server_settings.h): tunelift.ini in the program folder, else
  // the values the program was built for. A settings file that cannot be used is told then
  // and again at each Send, no script is written and nothing is sent. A copy still running
  // as it goes is stopped and waited for.
  FormHandlers(FileServices& services, FormView& view, Dialogs& dialogs, FormOptions options = {});

  // Runs one handler to its end, then refreshes the list; false when a failure ended either
  // early (already reported). A handler may run inside another's dialog (the send timer's
  // tick); each reports its own.
  bool Run(Handler handler);

  void Load();
  void ChooseAndStageFile();
  void DeleteSelectedFile();
  void DeleteAllFiles();
  void SendStagedFiles();
  void Finish();
  // Runs while the send timer is on: tells of every send that has ended, shows how far the
  // one started last has come (the status icon's tooltip, the launcher's progress), and takes
  // both away once none runs.
  void SendTimerTick();
  // Runs while the copy timer is on: shows how far the copy has come once it is due, stops it
  // when the user cancels, and once it has ended, tells of its failure.
  void CopyTimerTick();
  // The window closes: a copy still running is stopped and waited for.
  void WindowClosed();

  // The user closes the window (its close box, Alt+F4). While a send runs, asks whether it
  // keeps going. Yes: the window goes and the program runs on until the sends end, tells
  // how they ended, and closes the window. No: the sends are stopped and told, and the
  // window closes.
  void CloseWindow();
  // From the status icon's menu: ends every running send at once, and tells what went.
  void StopSending();
  // From the status icon's menu: opens the running send's transcript in the desktop's viewer.
  void ShowTranscript();

private:
  // Reads the server settings for the staging area; false, and the failure told and kept,
  // when they cannot be used.
  bool ReadServerSettings();
  // Throws the reason why the settings cannot be used, if there is one.
  void RefuseWithoutSettings();

  void ReportEndedSends();
  // Ends every running send and tells each, also when one could not be stopped; then throws
  // that failure.
  void StopAndTellSends();
  // Shows how far the send started last has come, each sign only when it changed.
  void ShowSendProgress();
  // Once no send runs, tells what they came to and closes a window that CloseWindow let go.
  void CloseOnceSendsEnd();
  void WriteUploadScript();
  // Says that the music is still being sent, and `wait` after it, and returns true, while a
  // send runs from the program folder; false otherwise.
  bool RefuseWhileSending(std::string_view wait);
  // Runs `step`; false when it threw, reported in a message box if `reportFailure`.
  bool Attempt(const std::function<void()>& step, bool reportFailure);
  // Names what the handler does next, for the report of a failure that ends it.
  void Attempting(std::string_view action) { action_ = action; }
  void ReportFailure(std::string_view description);
  void ReportDialogFailure(const Error& error);
  void ReportFolderMissing();

  // The copy, in form_copying.cpp. `failureAction` says what could not be done if it fails.
  void StartCopy(const std::string& chosenPath, std::string_view failureAction);
  bool RefusedWhileCopying(Handler handler);
  void ShowProgressWhenDue();
  void EndCopy();
  void DropCopy();
  // False for a tick that changes nothing in the staging folder, after which the list is
  // not read again.
  bool ListMayHaveChanged(Handler handler) const;

  FileServices& services_;
  StagingArea staging_;
  // Why the settings read at the start cannot be used: no script is written and no client
  // started while it is set.
  std::optional<Error> settingsFailure_;
  FormView& view_;
  Dialogs& dialogs_;
  FormOptions options_;
  OpenFileSettings openFileSettings_;
  std::string_view action_;
  // While a chosen file is copied: the copy, the name it is staged under, what its failure
  // is reported as, and the busy cursor until its progress dialog shows. After the staging
  // area, so that the copy ends before the area goes.
  std::unique_ptr<StagingCopy> copy_;
  std::string copyName_;
  std::string_view copyAction_;
  std::optional<BusyScope> copyBusy_;
  std::unique_ptr<ProgressDialog> progress_;
  bool progressTried_ = false;
  // What the desktop shows of the sends now: the tooltip and the launcher's progress, while
  // they show; and whether a send told since the progress began failed.
  std::optional<std::string> shownTooltip_;
  std::optional<double> shownDone_;
  bool aSendFailed_ = false;
  // CloseWindow let the window go while sends ran: it closes once none runs.
  bool closeWhenSendsEnd_ = false;
};

// The report of a failure that ended a handler: what could not be done, then on a line of its
// own the error's description (for a tunelift::Error, the path and the system's reason).
std::string FailureText(std::string_view action, std::string_view description);

// The status icon's menu while a send runs: each item's name, its text and what it runs.
struct MenuBinding {
  std::string_view name;
  std::string_view text;
  FormHandlers::Handler handler;
};

inline constexpr std::array kSendingMenu{
    MenuBinding{"StopSending", "Stop sending", &FormHandlers::StopSending},
    MenuBinding{"ShowTranscript", "Show the transcript", &FormHandlers::ShowTranscript},
};

}  // namespace tunelift
