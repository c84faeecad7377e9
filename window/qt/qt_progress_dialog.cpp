#include "qt_progress_dialog.h"

#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>

#include "centred.h"
#include "path_text.h"

namespace tunelift {
namespace {

class QtProgress : public ProgressDialog {
public:
  QtProgress(const ProgressText& text, QWidget* owner);
  ~QtProgress() override { delete dialog_.data(); }
  QtProgress(const QtProgress&) = delete;
  QtProgress& operator=(const QtProgress&) = delete;

  void Update(const ProgressText& text) override;
  bool Cancelled() const override { return !dialog_ || dialog_->wasCanceled(); }

private:
  // Gone with its owner, should the owner go first.
  QPointer<QProgressDialog> dialog_;
  // The dialog's own bar, moved directly: the dialog's setValue runs the window's events
  // from inside the handler that updates it, when the dialog is modal.
  QProgressBar* bar_;
};

QtProgress::QtProgress(const ProgressText& text, QWidget* owner)
    : dialog_(new Centred<QProgressDialog>(owner)), bar_(new QProgressBar) {
  dialog_->setObjectName(QString::fromLatin1(kProgressDialogName));
  dialog_->setWindowModality(Qt::WindowModal);
  // A title and a close box, which cancels, as the platform's own progress dialogs have.
  dialog_->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
  // It stays until its copy has ended, however far the bar has come.
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  bar_->setRange(0, kProgressBarRange);
  dialog_->setBar(bar_);
  Update(text);
  dialog_->show();
}

void QtProgress::Update(const ProgressText& text) {
  if (!dialog_) {
    return;
  }
  dialog_->setWindowTitle(ToQString(text.title));
  dialog_->setLabelText(ToQString(text.what) + u'\n' + ToQString(text.amount));
  bar_->setValue(text.barPosition);
}

}  // namespace

std::unique_ptr<ProgressDialog> ShowQtProgress(const ProgressText& text, QWidget* owner) {
  return std::make_unique<QtProgress>(text, owner);
}

}  // namespace tunelift
