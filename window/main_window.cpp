#include "window/main_window.h"

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "window/path_text.h"
#include "window/wrapping_button.h"

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
    case ControlKind::FileListBox:
      return new FileListBox(std::string(kFile1Pattern), parent);
  }
  return nullptr;
}

}  // namespace

// Often enough that the news of a send comes at once to the user's eye; rare enough to cost
// nothing.
constexpr int kSendTimerIntervalMs = 250;

MainWindow::MainWindow(FileServices& services, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent),
      handlers_(services, *this, dialogs),
      notices_(dialogs, this),
      sendTimer_(this) {
  setObjectName(ToQString(kFormName));
  setWindowTitle(ToQString(kFormCaption));
  setFixedSize(ToPixels(kClientWidth), ToPixels(kClientHeight));
  for (const ControlSpec& control : kControls) {
    CreateControl(control);
  }
  file1_ = findChild<FileListBox*>(QStringLiteral("File1"));
  label4_ = findChild<QLabel*>(QStringLiteral("Label4"));
  ChainTabOrder();
  ConnectClicks();
  sendTimer_.setObjectName(QStringLiteral("SendTimer"));
  sendTimer_.setInterval(kSendTimerIntervalMs);
  connect(&sendTimer_, &QTimer::timeout, this,
          [this] { handlers_.Run(&FormHandlers::SendTimer_Timer); });
}

bool MainWindow::Load() {
  return handlers_.Run(&FormHandlers::Form_Load);
}

QWidget* MainWindow::CreateControl(const ControlSpec& control) {
  QWidget* widget = MakeWidget(control, this);
  widget->setObjectName(ToQString(control.name));
  widget->setGeometry(ToPixels(control.left), ToPixels(control.top), ToPixels(control.width),
                      ToPixels(control.height));
  return widget;
}

// Tab moves through the controls by tab index; those that take no focus are passed over.
void MainWindow::ChainTabOrder() {
  std::vector<const ControlSpec*> byTabIndex;
  for (const ControlSpec& control : kControls) {
    byTabIndex.push_back(&control);
  }
  std::ranges::sort(byTabIndex, {}, &ControlSpec::tabIndex);
  for (std::size_t i = 1; i < byTabIndex.size(); ++i) {
    setTabOrder(findChild<QWidget*>(ToQString(byTabIndex[i - 1]->name)),
                findChild<QWidget*>(ToQString(byTabIndex[i]->name)));
  }
}

void MainWindow::ConnectClicks() {
  for (const ClickBinding& binding : kClickBindings) {
    auto* button = findChild<QPushButton*>(ToQString(binding.control));
    const FormHandlers::Handler handler = binding.handler;
    connect(button, &QPushButton::clicked, this, [this, handler] { handlers_.Run(handler); });
  }
}

void MainWindow::SetLabel4Caption(const std::string& caption) {
  label4_->setText(ToQString(caption));
}

void MainWindow::Unload() {
  close();
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

void MainWindow::TellSendEnded(const SendNotice& notice) {
  notices_.Tell(notice);
}

void MainWindow::SetSendTimer(bool enabled) {
  if (!enabled) {
    sendTimer_.stop();
  } else if (!sendTimer_.isActive()) {
    sendTimer_.start();
  }
}

}  // namespace tunelift
