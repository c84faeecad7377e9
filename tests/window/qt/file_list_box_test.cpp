// The file list box on a real folder: which names show, in which order, one selected at most.

#include <QTemporaryDir>
#include <QTest>
#include <set>

#include "core/error.h"
#include "window/qt/file_list_box.h"
#include "window_fixture.h"

namespace tunelift::testing {

class FileListBoxTest : public QObject {
  Q_OBJECT

private slots:
  void showsMatchingPlainFilesByNameIgnoringCase() {
    QTemporaryDir folder;
    const fs::path root = folder.path().toStdString();
    for (const char* name : {"b.mp3", "SONG.MP3", "a.Mp3", "B2.mp3", "notes.txt", "mp3",
                             "song.mp3.bak", ".hidden.mp3"}) {
      WriteFile(root / name);
    }
    fs::create_directory(root / "album.mp3");
    FileListBox list("*.mp3");
    list.SetPath(root.string());
    QStringList shown;
    for (int i = 0; i < list.count(); ++i) {
      shown.append(QString::fromStdString(list.List(i)));
    }
    QCOMPARE(shown, QStringList({"a.Mp3", "b.mp3", "B2.mp3", "SONG.MP3"}));
  }

  void aSecondPickReplacesTheFirst() {
    QTemporaryDir folder;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
      WriteFile(fs::path(folder.path().toStdString()) / name);
    }
    FileListBox list("*.mp3");
    list.SetPath(folder.path().toStdString());
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.ListIndex(), -1);
    for (int row : {1, 2}) {
      QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                        list.visualItemRect(list.item(row)).center());
    }
    QCOMPARE(list.selectedItems().size(), 1);
    QCOMPARE(list.ListIndex(), 2);
  }

  void keepsEachNameAsItIsOnDiskWhateverItShows() {
    QTemporaryDir folder;
    const fs::path root = folder.path().toStdString();
    // Two names that are not UTF-8 and show alike, and one with a line break in it.
    const std::vector<std::string> names{"bad\xff.mp3", "bad\xfe.mp3", "line\nbreak.mp3"};
    for (const std::string& name : names) {
      WriteFile(root / name);
    }
    FileListBox list("*.mp3");
    list.SetPath(root.string());
    QCOMPARE(list.count(), 3);
    std::vector<std::string> given;
    for (int row = 0; row < list.count(); ++row) {
      given.push_back(list.List(row));
      QVERIFY(!list.item(row)->text().contains(u'\n'));
    }
    QCOMPARE(std::set<std::string>(given.begin(), given.end()),
             std::set<std::string>(names.begin(), names.end()));
    QCOMPARE(list.item(0)->text(), list.item(1)->text());  // alike to the eye only

    list.setCurrentRow(1);
    const std::string chosen = list.List(1);
    list.Refresh();
    QCOMPARE(list.List(list.ListIndex()), chosen);
  }

  void aFolderThatCannotBeReadIsAnError() {
    QTemporaryDir folder;
    const std::string missing = folder.path().toStdString() + "/missing";
    FileListBox list("*.mp3");
    try {
      list.SetPath(missing);
      QFAIL("a missing folder was read");
    } catch (const Error& error) {
      QCOMPARE(error.number(), 76);
      QVERIFY(error.description().find(missing) != std::string::npos);
    }
  }
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::FileListBoxTest)
#include "file_list_box_test.moc"
