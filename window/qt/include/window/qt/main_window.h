#pragma once
// The one window, on Qt Widgets: its controls are built once from the layout table and every
// button click runs its handler. The window owns its controls for the program's life, and the
// status icon and notifications that show its sends on the desktop.

#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <array>

#include "core/services.h"
#include "window/qt/desktop_notices.h"
#include "window/dialogs.h"
#include "window/qt/file_list_box.h"
#include "window/qt/launcher_progress.h"
#include "window/form_handlers.h"
#include "window/form_view.h"
#include "window/layout.h"

namespace tunelift {

class MainWindow : public QWidget, public FormView {
  Q_OBJECT

public:
  // `services` and `dialogs` must outlive the window.
  MainWindow(FileServices& services, Dialogs& dialogs, FormOptions options = {},
             QWidget* parent = nullptr);

  // Runs Load; false when start-up failed (the user has been told why).
  bool Load();

  // The widget made for `control`.
  QWidget* Control(FormControl control) const { return controls_[IndexOf(control)]; }

  FileList& StagedFiles() override { return *stagedFiles_; }
  void SetFolderCaption(const std::string& caption) override;
  void Unload() override;
  bool Unloaded() const override { return unloaded_; }
  void BeginBusy() override;
  void EndBusy() noexcept override;
  void ShowSending(std::string_view tooltip) override;
  void HideSending() noexcept override;
  void ShowSendProgress(double done) override;
  void EndSendProgress(bool failed) override;
  void OpenInViewer(const std::string& path) override;
  void HideUntilSendsEnd() override;
  void TellSendEnded(const SendNotice& notice) override;
  // While the timer runs, a send runs: the program does not end with its last window then
  // (QApplication::quitOnLastWindowClosed), so that a window closed to let the send go on
  // leaves it running.
  void SetSendTimer(bool enabled) override;
  void SetCopyTimer(bool enabled) override;

signals:
  // The window has closed for good (Unload): the program's event loop may end, also where
  // the window had already gone from the screen while its sends ran.
  void ended();

protected:
  void showEvent(QShowEvent* event) override;
  // The user closes the window (its close box, Alt+F4 through the window manager): the
  // handlers decide whether it closes, goes while its sends run on, or stays. A copy still
  // running is stopped once the window goes.
  void closeEvent(QCloseEvent* event) override;

private:
  void CreateControls();
  void ChainTabOrder();
  void ConnectClicks();
  void BuildSendingMenu();

  FormHandlers handlers_;
  // The status icon's menu while a send runs (kSendingMenu).
  QMenu* sendingMenu_ = nullptr;
  DesktopNotices notices_;
  LauncherProgress launcher_;
  // Runs while an FTP client that Send started may still run: the window learns of its end
  // without ever waiting for it.
  QTimer sendTimer_;
  // Runs while a chosen file is copied: the window follows the copy without waiting for it.
  QTimer copyTimer_;
  // The controls of the layout table, at their places in it.
  std::array<QWidget*, kControls.size()> controls_{};
  FileListBox* stagedFiles_ = nullptr;
  QLabel* folderLabel_ = nullptr;
  bool unloaded_ = false;
  // Set while closeEvent runs the handlers: the close under way is what they ask for.
  bool closing_ = false;
  bool hiddenForSends_ = false;
};

}  // namespace tunelift
