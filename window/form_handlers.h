#pragma once
// The behaviour of the one window: its load event, the clicks on its five buttons, each
// calling the staging operations in a fixed order and adding the dialogs, the list's refresh
// and the window's closing, and the send timer, which tells the user how each send ended.
// Written against FormView and Dialogs, not against a toolkit.
//
// Error policy: the open-file dialog's failures are handled by Browse_Click itself; the
// staging folder found missing at Finish is reported by Finish_Click. Any other exception
// (a tunelift::Error or anything else) ends the handler it came from and is reported by Run,
// the one place that catches it, in a message box that says what could not be done and why;
// the window stays. Run then refreshes the list, failed or not, unless the window is gone.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/staging_area.h"
#include "window/dialogs.h"
#include "window/form_view.h"

namespace tunelift {

class FormHandlers {
public:
  using Handler = void (FormHandlers::*)();

  // All three must outlive this object. The staging area is built on `services` and uploads
  // to the host the program was built for.
  FormHandlers(FileServices& services, FormView& view, Dialogs& dialogs);

  // Runs one handler to its end, then refreshes the list; false when a failure ended either
  // early (already reported). A handler may run inside another's dialog (the send timer's
  // tick); each reports its own.
  bool Run(Handler handler);

  void Form_Load();
  void Browse_Click();
  void cmdDelete_Click();
  void Delete_Click();
  void Send_Click();
  void Finish_Click();
  // Runs while the send timer is on: tells of every send that has ended, shows how far the
  // one started last has come (the status icon's tooltip, the launcher's progress), and takes
  // both away once none runs.
  void SendTimer_Timer();
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
  void ReportEndedSends();
  // Ends every running send and tells each, also when one could not be stopped; then throws
  // that failure.
  void StopAndTellSends();
  // Shows how far the send started last has come, each sign only when it changed.
  void ShowSendProgress();
  // Once no send runs, tells what they came to and closes a window that CloseWindow let go.
  void CloseOnceSendsEnd();
  // Runs `step`; false when it threw, reported in a message box if `reportFailure`.
  bool Attempt(const std::function<void()>& step, bool reportFailure);
  // Names what the handler does next, for the report of a failure that ends it.
  void Attempting(std::string_view action) { action_ = action; }
  void ReportFailure(std::string_view description);
  void ReportDialogFailure(const Error& error);
  void ReportFolderMissing();

  FileServices& services_;
  StagingArea staging_;
  FormView& view_;
  Dialogs& dialogs_;
  OpenFileSettings dlgOpenFile_;
  std::string_view action_;
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

// Which handler a click on each button runs.
struct ClickBinding {
  std::string_view control;
  FormHandlers::Handler handler;
};

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

inline constexpr std::array kClickBindings{
    ClickBinding{"Browse", &FormHandlers::Browse_Click},
    ClickBinding{"cmdDelete", &FormHandlers::cmdDelete_Click},
    ClickBinding{"Delete", &FormHandlers::Delete_Click},
    ClickBinding{"Send", &FormHandlers::Send_Click},
    ClickBinding{"Finish", &FormHandlers::Finish_Click},
};

}  // namespace tunelift
