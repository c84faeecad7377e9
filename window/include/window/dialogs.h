#pragma once
// The open-file dialog, the message boxes and the progress dialog, behind one interface: the
// handlers call it, the Qt window passes QtDialogs, the tests pass scripted answers. Numbers
// are the platform's own (message-box styles and answers, the common dialog's flags and error
// numbers), because the handlers and their texts were written in them.

#include <memory>
#include <string>
#include <string_view>

namespace tunelift {

// Message-box styles: a button code plus an icon code.
namespace msgbox {
inline constexpr int kOkOnly = 0;
inline constexpr int kYesNo = 4;
inline constexpr int kIconCritical = 16;
inline constexpr int kIconQuestion = 32;
inline constexpr int kIconExclamation = 48;
inline constexpr int kIconInformation = 64;
// Answers: the button the user pressed.
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
}  // namespace msgbox

// What a message box without a title of its own shows as its title.
inline constexpr std::string_view kApplicationTitle = "Tunelift";

// Open-file dialog flags that change what the dialog allows.
namespace ofn {
inline constexpr long kHideReadOnly = 0x4;
inline constexpr long kFileMustExist = 0x1000;
inline constexpr long kExplorer = 0x80000;
inline constexpr long kLongNames = 0x200000;
}  // namespace ofn

// The error number of a cancelled open-file dialog when CancelError is set.
inline constexpr int kCancelErrorNumber = 32755;

// The open-file dialog's settings, named as the common dialog control names them.
struct OpenFileSettings {
  std::string initDir;
  // Pairs of description and pattern, all separated by "|"; patterns within one choice are
  // separated by ";".
  std::string filter;
  int filterIndex = 1;  // counted from 1
  std::string dialogTitle;
  long flags = 0;
  bool cancelError = false;
};

struct ProgressText;

// A progress dialog on the screen, modal to the window, with a Cancel button; it goes when
// this object goes. It never runs the window's handlers itself: they ask it.
class ProgressDialog {
public:
  virtual ~ProgressDialog() = default;
  // Shows `text` in place of what it showed.
  virtual void Update(const ProgressText& text) = 0;
  // True once the user has pressed Cancel, or closed the dialog, which says the same.
  virtual bool Cancelled() const = 0;
};

class Dialogs {
public:
  virtual ~Dialogs() = default;

  // Shows the modal open-file dialog and returns the chosen file's full path in the
  // platform's own form. With cancelError a cancelled or closed dialog throws tunelift::Error
  // kCancelErrorNumber; without it, it returns an empty text. Any other failure throws
  // tunelift::Error with its own number and description.
  virtual std::string ShowOpen(const OpenFileSettings& settings) = 0;

  // Shows a modal message box of `style` (msgbox codes) and returns the answer (msgbox kId*).
  // An empty `title` shows kApplicationTitle.
  virtual int MsgBox(const std::string& prompt, int style, const std::string& title = {}) = 0;

  // Shows a progress dialog with `text` (progress_text.h) and returns at once, the window's
  // events going on meanwhile.
  virtual std::unique_ptr<ProgressDialog> ShowProgress(const ProgressText& text) = 0;
};

}  // namespace tunelift
