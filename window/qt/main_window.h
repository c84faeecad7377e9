#pragma once
// The one window, on Qt Widgets: its controls are built once from the layout table and every
// button click runs its handler. The window owns its controls for the program's life, and the
// status icon and notifications that show its sends on the desktop.

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "core/services.h"
#include "window/qt/desktop_notices.h"
#include "window/dialogs.h"
#include "window/qt/file_list_box.h"
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

  // Runs Form_Load; false when start-up failed (the user has been told why).
  bool Load();

  FileList& File1() override { return *file1_; }
  void SetLabel4Caption(const std::string& caption) override;
  void Unload() override;
  bool Unloaded() const override { return unloaded_; }
  void BeginBusy() override;
  void EndBusy() noexcept override;
  void ShowSending(std::string_view tooltip) override;
  void HideSending() noexcept override;
  void TellSendEnded(const SendNotice& notice) override;
  void SetSendTimer(bool enabled) override;
  void SetCopyTimer(bool enabled) override;

protected:
  void showEvent(QShowEvent* event) override;
  // However the window closes, a copy still running is stopped first.
  void closeEvent(QCloseEvent* event) override;

private:
  QWidget* CreateControl(const ControlSpec& control);
  void ChainTabOrder();
  void ConnectClicks();

  FormHandlers handlers_;
  DesktopNotices notices_;
  // Runs while an FTP client that Send started may still run: the window learns of its end
  // without ever waiting for it.
  QTimer sendTimer_;
  // Runs while a chosen file is copied: the window follows the copy without waiting for it.
  QTimer copyTimer_;
  FileListBox* file1_ = nullptr;
  QLabel* label4_ = nullptr;
  bool unloaded_ = false;
};

}  // namespace tunelift
