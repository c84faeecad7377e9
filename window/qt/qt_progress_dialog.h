#pragma once
// The progress dialog of a long copy on Qt: a QProgressDialog with its Cancel button, shown at
// once and modal to the window, while the window's events go on.

#include <QWidget>
#include <memory>

#include "window/dialogs.h"
#include "window/progress_text.h"

namespace tunelift {

// The dialog's object name, by which tests find it.
inline constexpr char kProgressDialogName[] = "CopyProgress";

// Shows the dialog with `text`, modal to `owner` and in its middle (none: a window of its
// own). It goes when the returned object goes, or with its owner.
std::unique_ptr<ProgressDialog> ShowQtProgress(const ProgressText& text, QWidget* owner);

}  // namespace tunelift
