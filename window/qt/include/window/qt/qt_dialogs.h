#pragma once
// The open-file dialog, the message boxes and the progress dialog on Qt's own dialogs.

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <memory>

#include "window/dialogs.h"

namespace tunelift {

struct QtDialogsOptions {
  // False forces Qt's own file dialog where the platform has a native one.
  bool nativeFileDialog = true;
};

class QtDialogs : public Dialogs {
public:
  explicit QtDialogs(QtDialogsOptions options = {});

  // The window the dialogs are modal to and centred on; none until set.
  void SetOwner(QWidget* owner) { owner_ = owner; }

  // Honours every setting: both filter choices offered with the one at filterIndex chosen,
  // names matched without regard to case, one existing file when kFileMustExist is set.
  std::string ShowOpen(const OpenFileSettings& settings) override;
  int MsgBox(const std::string& prompt, int style, const std::string& title = {}) override;
  // A QProgressDialog, modal to the owner (ShowQtProgress).
  std::unique_ptr<ProgressDialog> ShowProgress(const ProgressText& text) override;

private:
  QtDialogsOptions options_;
  QPointer<QWidget> owner_;
};

// The dialog ShowOpen shows, configured but not yet shown.
void ConfigureOpenDialog(QFileDialog& dialog, const OpenFileSettings& settings,
                         QtDialogsOptions options = {});
// The box MsgBox shows for `style`, built but not yet shown; it centres itself on `owner` as
// it shows.
std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& prompt, int style,
                                            const std::string& title, QWidget* owner);
// The platform's answer number for the button that closed a box.
int AnswerNumber(QMessageBox::StandardButton button);

}  // namespace tunelift
