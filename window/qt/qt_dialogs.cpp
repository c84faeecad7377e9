#include "window/qt/qt_dialogs.h"

#include <QDir>
#include <QStringList>
#include <stdexcept>

#include "core/error.h"
#include "centred.h"
#include "path_text.h"
#include "qt_progress_dialog.h"

namespace tunelift {
namespace {

constexpr int kButtonMask = 0xF;
constexpr int kIconMask = 0xF0;

// "Description|pattern;pattern|..." as Qt name filters, "Description (pattern pattern)".
// Windows' "*.*" matches every name, with a dot or without; Qt's "*" does the same.
QStringList NameFilters(const std::string& filter) {
  const QStringList parts = ToQString(filter).split(u'|');
  QStringList nameFilters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
    patterns.replaceInStrings(QStringLiteral("*.*"), QStringLiteral("*"));
    nameFilters.append(parts.at(i) + QStringLiteral(" (") + patterns.join(u' ') + u')');
  }
  return nameFilters;
}

QMessageBox::StandardButtons ButtonsFor(int style) {
  switch (style & kButtonMask) {
    case msgbox::kOkOnly: return QMessageBox::Ok;
    case msgbox::kYesNo: return QMessageBox::Yes | QMessageBox::No;
    default:
      throw std::invalid_argument("message-box buttons not offered: " +
                                  std::to_string(style & kButtonMask));
  }
}

QMessageBox::Icon IconFor(int style) {
  switch (style & kIconMask) {
    case 0: return QMessageBox::NoIcon;
    case msgbox::kIconCritical: return QMessageBox::Critical;
    case msgbox::kIconQuestion: return QMessageBox::Question;
    case msgbox::kIconExclamation: return QMessageBox::Warning;
    case msgbox::kIconInformation: return QMessageBox::Information;
    default:
      throw std::invalid_argument("message-box icon unknown: " + std::to_string(style & kIconMask));
  }
}

}  // namespace

QtDialogs::QtDialogs(QtDialogsOptions options) : options_(options) {}

void ConfigureOpenDialog(QFileDialog& dialog, const OpenFileSettings& settings,
                         QtDialogsOptions options) {
  dialog.setWindowTitle(ToQString(settings.dialogTitle));
  dialog.setDirectory(ToQString(settings.initDir));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode((settings.flags & ofn::kFileMustExist) != 0 ? QFileDialog::ExistingFile
                                                                 : QFileDialog::AnyFile);
  // The choices show their descriptions alone, as the platform's dialog shows them.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontUseNativeDialog, !options.nativeFileDialog);
  // Names are matched as Windows matches them: SONG.MP3 shows under "*.mp3".
  QDir::Filters entries = dialog.filter();
  entries.setFlag(QDir::CaseSensitive, false);
  dialog.setFilter(entries);

  const QStringList nameFilters = NameFilters(settings.filter);
  dialog.setNameFilters(nameFilters);
  const qsizetype chosen = settings.filterIndex - 1;
  if (chosen >= 0 && chosen < nameFilters.size()) {
    dialog.selectNameFilter(nameFilters.at(chosen));
  }
}

std::string QtDialogs::ShowOpen(const OpenFileSettings& settings) {
  Centred<QFileDialog> dialog(owner_);
  ConfigureOpenDialog(dialog, settings, options_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    if (settings.cancelError) {
      throw Error(kCancelErrorNumber, "Cancel was selected.");
    }
    return {};
  }
  return ToText(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& prompt, int style,
                                            const std::string& title, QWidget* owner) {
  const std::string_view shownTitle = title.empty() ? kApplicationTitle : title;
  // The handlers break lines with CR LF, as the platform does; Qt breaks them with LF.
  const QString text = ToQString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  auto box = std::make_unique<Centred<QMessageBox>>(IconFor(style), ToQString(shownTitle), text,
                                                    ButtonsFor(style), owner);
  box->setTextFormat(Qt::PlainText);
  return box;
}

int QtDialogs::MsgBox(const std::string& prompt, int style, const std::string& title) {
  const std::unique_ptr<QMessageBox> box = MakeMessageBox(prompt, style, title, owner_);
  return AnswerNumber(static_cast<QMessageBox::StandardButton>(box->exec()));
}

std::unique_ptr<ProgressDialog> QtDialogs::ShowProgress(const ProgressText& text) {
  return ShowQtProgress(text, owner_);
}

int AnswerNumber(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return msgbox::kIdOk;
    case QMessageBox::Yes: return msgbox::kIdYes;
    case QMessageBox::No: return msgbox::kIdNo;
    default:
      throw std::invalid_argument("message-box answer unknown: " +
                                  std::to_string(static_cast<int>(button)));
  }
}

}  // namespace tunelift
