// The Qt dialogs themselves. The open-file dialog is shown for real, in Qt's own form, and
// driven from inside its event loop; message boxes are checked as built, without showing.

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/error.h"
#include "window/dialogs.h"
#include "window/qt/qt_dialogs.h"
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

// How far the middle of `dialog` lies from the middle of `owner`. Their insides are compared:
// a dialog's frame is much like its window's, and Qt learns of it late, at times not at all.
QPoint OffCentre(const QWidget& dialog, const QWidget& owner) {
  return dialog.geometry().center() - owner.geometry().center();
}

bool IsCentred(const QWidget& dialog, const QWidget& owner) {
  constexpr int kTolerance = 3;  // frames of dialogs and windows differ by a pixel or two
  const QPoint offCentre = OffCentre(dialog, owner);
  return std::abs(offCentre.x()) <= kTolerance && std::abs(offCentre.y()) <= kTolerance;
}

QString Describe(const char* what, QPoint offCentre) {
  return QStringLiteral("%1 off centre by %2,%3").arg(what).arg(offCentre.x()).arg(offCentre.y());
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
    QCOMPARE(chosen,
             QDir::toNativeSeparators(QString::fromStdString((Folder() / "SONG.MP3").string()))
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

  // Not over whatever part of the window happens to lie under Qt's first guess. A window
  // manager frames a dialog some time after it shows; its frame may be a little thinner than
  // the window's.
  void dialogsShowInTheMiddleOfTheWindow() {
    QWidget owner;
    owner.resize(410, 300);
    owner.move(137, 91);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QtDialogs dialogs({.nativeFileDialog = false});
    dialogs.SetOwner(&owner);

    bool centred = false;
    QPoint offCentre;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      centred = QTest::qWaitFor([&] { return IsCentred(*box, owner); });
      offCentre = OffCentre(*box, owner);
      box->button(QMessageBox::No)->click();
    });
    QCOMPARE(dialogs.MsgBox("Are you sure you want to delete that?", 36), msgbox::kIdNo);
    QVERIFY2(centred, qPrintable(Describe("message box", offCentre)));

    WhenDialogShows([&](QFileDialog& dialog) {
      centred = QTest::qWaitFor([&] { return IsCentred(dialog, owner); });
      offCentre = OffCentre(dialog, owner);
    });
    QVERIFY_THROWS_EXCEPTION(Error, dialogs.ShowOpen(SettingsOfLoad(Folder())));
    QVERIFY2(centred, qPrintable(Describe("open-file dialog", offCentre)));
  }

  void messageBoxStylesGiveTheirButtonsAndIcons_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QMessageBox::StandardButtons>("buttons");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::newRow("0") << 0 << QMessageBox::StandardButtons(QMessageBox::Ok) << QMessageBox::NoIcon;
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
