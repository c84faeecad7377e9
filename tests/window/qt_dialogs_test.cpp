// The Qt dialogs themselves. The open-file dialog is shown for real, in Qt's own form, and
// driven from inside its event loop; message boxes are checked as built, without showing.

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/error.h"
#include "window/qt_dialogs.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

OpenFileSettings SettingsOfLoad(const fs::path& initDir) {
  return {.initDir = initDir.string(),
          .filter = "MP3 Files (*.MP3)|*.mp3|All Files (*.*)|*.*",
          .filterIndex = 1,
          .dialogTitle = "Open File",
          .flags = 2625540,
          .cancelError = true};
}

// The names the dialog's file view shows in the folder it is in.
QStringList ShownNames(QFileDialog& dialog) {
  auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
  QStringList names;
  if (view == nullptr) {
    return names;
  }
  const QModelIndex folder = view->rootIndex();
  for (int row = 0; row < view->model()->rowCount(folder); ++row) {
    names.append(view->model()->index(row, 0, folder).data().toString());
  }
  names.sort(Qt::CaseInsensitive);
  return names;
}

// Runs `drive` on the open-file dialog once it is up, inside its own event loop.
void WhenDialogShows(std::function<void(QFileDialog&)> drive) {
  QTimer::singleShot(0, [drive] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    drive(*dialog);
    if (dialog->isVisible()) {
      dialog->reject();  // a failed check must not leave the test waiting on the dialog
    }
  });
}

}  // namespace

class QtDialogsTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    for (const char* name : {"SONG.MP3", "quiet.mp3", "notes.txt"}) {
      WriteFile(Folder() / name);
    }
  }
  void cleanup() { folder_.reset(); }

  void openDialogHonoursTheSettingsAndReturnsTheChosenPath() {
    WhenDialogShows([this](QFileDialog& dialog) {
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Open File"));
      QCOMPARE(dialog.directory().absolutePath().toStdString(), Folder().string());
      QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
      auto* choices = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      QVERIFY(choices != nullptr);
      QCOMPARE(choices->count(), 2);
      QCOMPARE(choices->itemText(0), QStringLiteral("MP3 Files (*.MP3)"));
      QCOMPARE(choices->itemText(1), QStringLiteral("All Files (*.*)"));
      QCOMPARE(choices->currentIndex(), 0);
      QTRY_COMPARE(ShownNames(dialog), QStringList({"quiet.mp3", "SONG.MP3"}));
      QTest::keyClick(choices, Qt::Key_Down);  // the user picks "All Files (*.*)"
      QCOMPARE(choices->currentIndex(), 1);
      QTRY_COMPARE(ShownNames(dialog), QStringList({"notes.txt", "quiet.mp3", "SONG.MP3"}));
      auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(name != nullptr);
      QTest::keyClicks(name, QStringLiteral("SONG.MP3"));
      QTest::keyClick(name, Qt::Key_Return);
    });
    QtDialogs dialogs({.nativeFileDialog = false});
    std::string chosen;
    try {
      chosen = dialogs.ShowOpen(SettingsOfLoad(Folder()));
    } catch (const Error& error) {
      QFAIL(("the dialog chose nothing: " + error.description()).c_str());
    }
    QCOMPARE(chosen, QDir::toNativeSeparators(
                         QString::fromStdString((Folder() / "SONG.MP3").string()))
                         .toStdString());
  }

  void openDialogCancelledIsError32755() {
    WhenDialogShows([](QFileDialog& dialog) { dialog.reject(); });
    QtDialogs dialogs({.nativeFileDialog = false});
    try {
      dialogs.ShowOpen(SettingsOfLoad(Folder()));
      QFAIL("a cancelled dialog chose a file");
    } catch (const Error& error) {
      QCOMPARE(error.number(), 32755);
    }
  }

  void messageBoxStylesGiveTheirButtonsAndIcons_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QMessageBox::StandardButtons>("buttons");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::newRow("0") << 0 << QMessageBox::StandardButtons(QMessageBox::Ok)
                       << QMessageBox::NoIcon;
    QTest::newRow("36") << 36 << (QMessageBox::Yes | QMessageBox::No) << QMessageBox::Question;
    QTest::newRow("48") << 48 << QMessageBox::StandardButtons(QMessageBox::Ok)
                        << QMessageBox::Warning;
  }
  void messageBoxStylesGiveTheirButtonsAndIcons() {
    QFETCH(int, style);
    QFETCH(QMessageBox::StandardButtons, buttons);
    QFETCH(QMessageBox::Icon, icon);
    const auto box = MakeMessageBox("One\r\nTwo", style, "", nullptr);
    QCOMPARE(box->standardButtons(), buttons);
    QCOMPARE(box->icon(), icon);
    QCOMPARE(box->windowTitle(), QStringLiteral("Tunelift"));  // no title of its own
    QCOMPARE(box->text(), QStringLiteral("One\nTwo"));
    QCOMPARE(MakeMessageBox("", style, "Folder not Found", nullptr)->windowTitle(),
             QStringLiteral("Folder not Found"));
  }

private:
  fs::path Folder() const { return fs::path(folder_->path().toStdString()); }

  std::unique_ptr<QTemporaryDir> folder_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::QtDialogsTest)
#include "qt_dialogs_test.moc"
