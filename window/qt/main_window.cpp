#include "window/qt/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>
#include <string_view>

#include "core/error.h"

#include "path_text.h"
#include "window/qt/program_icon.h"
#include "wrapping_button.h"

namespace tunelift {
namespace {

QWidget* MakeWidget(const ControlSpec& control, QWidget* parent) {
  switch (control.kind) {
    case ControlKind::PushButton: {
      auto* button = new WrappingButton(ToQString(control.text), parent);
      // Enter and Escape press no button: the window has no default or cancel button.
      button->setAutoDefault(false);
      button->setDefault(false);
      return button;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(ToQString(control.text), parent);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::FileListBox: return new FileListBox(std::string(kStagedListPattern), parent);
  }
  return nullptr;
}

}  // namespace

MainWindow::MainWindow(FileServices& services, Dialogs& dialogs, FormOptions options,
                       QWidget* parent)
    : QWidget(parent),
      handlers_(services, *this, dialogs, options),
      sendingMenu_(new QMenu(this)),
      notices_(dialogs, this),
      sendTimer_(this),
      copyTimer_(this) {
  setObjectName(ToQString(kFormName));
  setWindowTitle(ToQString(kFormCaption));
  setWindowIcon(ProgramIcon());
  setFixedSize(ToPixels(kClientWidth), ToPixels(kClientHeight));
  CreateControls();
  ChainTabOrder();
  ConnectClicks();
  BuildSendingMenu();
  sendTimer_.setObjectName(QStringLiteral("SendTimer"));
  sendTimer_.setInterval(kSendTimerIntervalMs);
  connect(&sendTimer_, &QTimer::timeout, this,
          [this] { handlers_.Run(&FormHandlers::SendTimerTick); });
  copyTimer_.setObjectName(QStringLiteral("CopyTimer"));
  copyTimer_.setInterval(kCopyTimerIntervalMs);
  connect(&copyTimer_, &QTimer::timeout, this,
          [this] { handlers_.Run(&FormHandlers::CopyTimerTick); });
}

bool MainWindow::Load() {
  return handlers_.Run(&FormHandlers::Load);
}

void MainWindow::CreateControls() {
  for (const ControlSpec& control : kControls) {
    QWidget* widget = MakeWidget(control, this);
    widget->setObjectName(ToQString(control.name));
    widget->setGeometry(ToPixels(control.left), ToPixels(control.top), ToPixels(control.width),
                        ToPixels(control.height));
    controls_[IndexOf(control.control)] = widget;
  }
  // MakeWidget makes a FileListBox for the list's kind and a QLabel for a label's.
  static_assert(RowOf(FormControl::StagedList).kind == ControlKind::FileListBox);
  static_assert(RowOf(FormControl::FolderLabel).kind == ControlKind::Label);
  stagedFiles_ = static_cast<FileListBox*>(Control(FormControl::StagedList));
  folderLabel_ = static_cast<QLabel*>(Control(FormControl::FolderLabel));
}

// Tab moves through the controls that take the focus, by tab index. Labels stay out of the
// chain: Qt ignores a tab-order link to a control that takes no focus, which would leave the
// chain broken where a label sits.
void MainWindow::ChainTabOrder() {
  QWidget* previous = nullptr;
  for (FormControl focusable : kFocusOrder) {
    QWidget* control = Control(focusable);
    if (previous != nullptr) {
      setTabOrder(previous, control);
    }
    previous = control;
  }
  // The window opens with the focus on the first control of the tab order, as the platform
  // gives it; Qt would pick the first control it finds after the window in its own chain.
  Control(kFocusOrder.front())->setFocus();
}

void MainWindow::ConnectClicks() {
  for (const ClickBinding& binding : kClickBindings) {
    // The table gives a handler to push buttons alone, and MakeWidget makes a QPushButton
    // for each of them.
    auto* button = static_cast<QPushButton*>(Control(binding.control));
    const FormHandlers::Handler handler = binding.handler;
    connect(button, &QPushButton::clicked, this, [this, handler] { handlers_.Run(handler); });
  }
}

void MainWindow::BuildSendingMenu() {
  sendingMenu_->setObjectName(QStringLiteral("SendingMenu"));
  for (const MenuBinding& item : kSendingMenu) {
    QAction* action = sendingMenu_->addAction(ToQString(item.text));
    action->setObjectName(ToQString(item.name));
    const FormHandlers::Handler handler = item.handler;
    connect(action, &QAction::triggered, this, [this, handler] { handlers_.Run(handler); });
  }
  notices_.SetMenu(sendingMenu_);
}

void MainWindow::SetFolderCaption(const std::string& caption) {
  folderLabel_->setText(ToQString(caption));
}

void MainWindow::Unload() {
  unloaded_ = true;
  if (!closing_) {
    close();  // closeEvent lets an unloaded window go
  }
  emit ended();
}

void MainWindow::HideUntilSendsEnd() {
  hiddenForSends_ = true;
  if (!closing_) {
    hide();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!unloaded_) {
    closing_ = true;
    handlers_.Run(&FormHandlers::CloseWindow);
    closing_ = false;
  }
  const bool goes = unloaded_ || hiddenForSends_;
  if (goes) {
    // However the window goes, a copy still running is stopped first.
    handlers_.Run(&FormHandlers::WindowClosed);
  }
  event->setAccepted(goes);
}

// Styles draw the focus mark only once the keyboard has moved the focus, and Qt clears that
// state whenever a window is shown. The focused control always shows its mark here, as it
// does on the platform the window was drawn for.
void MainWindow::showEvent(QShowEvent* event) {
  setAttribute(Qt::WA_KeyboardFocusChange);
  QWidget::showEvent(event);
}

void MainWindow::BeginBusy() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void MainWindow::EndBusy() noexcept {
  QApplication::restoreOverrideCursor();
}

void MainWindow::ShowSending(std::string_view tooltip) {
  notices_.ShowSending(ToQString(tooltip));
}

void MainWindow::HideSending() noexcept {
  notices_.HideSending();
}

void MainWindow::ShowSendProgress(double done) {
  launcher_.Show(done);
}

// The launcher's entry has no sign of a failure: the notice tells it.
void MainWindow::EndSendProgress(bool /*failed*/) {
  launcher_.Hide();
}

void MainWindow::OpenInViewer(const std::string& path) {
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(path)))) {
    throw Error(errnum::kPathFileAccess,
                "Cannot open '" + path + "': the desktop started no viewer for it.");
  }
}

void MainWindow::TellSendEnded(const SendNotice& notice) {
  notices_.Tell(notice);
}

void MainWindow::SetSendTimer(bool enabled) {
  QApplication::setQuitOnLastWindowClosed(!enabled);
  if (!enabled) {
    sendTimer_.stop();
  } else if (!sendTimer_.isActive()) {
    sendTimer_.start();
  }
}

void MainWindow::SetCopyTimer(bool enabled) {
  if (!enabled) {
    copyTimer_.stop();
  } else if (!copyTimer_.isActive()) {
    copyTimer_.start();
  }
}

}  // namespace tunelift
