// The file list box on real folders: which names show, in which order, and its selection.

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>

#include "core/error.h"
#include "window/file_list_box.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

QStringList Shown(const FileListBox& list) {
  QStringList names;
  for (int i = 0; i < list.count(); ++i) {
    names.append(QString::fromStdString(list.List(i)));
  }
  return names;
}

}  // namespace

class FileListBoxTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
  }
  void cleanup() { folder_.reset(); }

  void showsMatchingPlainFilesWithoutRegardToCase() {
    for (const char* name : {"SONG.MP3", "Mixed.Mp3", "quiet.mp3", "notes.txt", "mp3",
                             "song.mp3.bak", ".hidden.mp3"}) {
      WriteFile(Folder() / name);
    }
    fs::create_directory(Folder() / "album.mp3");
    FileListBox list("*.mp3");
    list.SetPath(Folder().string());
    QCOMPARE(Shown(list), QStringList({"Mixed.Mp3", "quiet.mp3", "SONG.MP3"}));
  }

  void sortsByNameIgnoringCase() {
    for (const char* name : {"b.mp3", "C.mp3", "a.mp3", "B2.mp3"}) {
      WriteFile(Folder() / name);
    }
    FileListBox list("*.mp3");
    list.SetPath(Folder().string());
    QCOMPARE(Shown(list), QStringList({"a.mp3", "b.mp3", "B2.mp3", "C.mp3"}));
  }

  void listIndexFollowsTheOneSelectedEntry() {
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
      WriteFile(Folder() / name);
    }
    FileListBox list("*.mp3");
    list.SetPath(Folder().string());
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.ListIndex(), -1);
    ClickEntry(list, 1, Qt::NoModifier);
    ClickEntry(list, 2, Qt::ControlModifier);  // a second pick replaces the first
    QCOMPARE(list.selectedItems().size(), 1);
    QCOMPARE(list.ListIndex(), 2);
    QCOMPARE(list.List(list.ListIndex()), std::string("c.mp3"));
  }

  void refreshReadsTheFolderAgain() {
    WriteFile(Folder() / "old.mp3");
    FileListBox list("*.mp3");
    list.SetPath(Folder().string());
    WriteFile(Folder() / "new.mp3");
    QCOMPARE(Shown(list), QStringList{"old.mp3"});
    fs::remove(Folder() / "old.mp3");
    list.Refresh();
    QCOMPARE(Shown(list), QStringList{"new.mp3"});
    QCOMPARE(list.Path(), Folder().string());
  }

  void aFolderThatCannotBeReadIsAnError() {
    FileListBox list("*.mp3");
    const std::string missing = (Folder() / "missing").string();
    try {
      list.SetPath(missing);
      QFAIL("a missing folder was read");
    } catch (const Error& error) {
      QCOMPARE(error.number(), 76);
      QVERIFY(error.description().find(missing) != std::string::npos);
    }
  }

private:
  fs::path Folder() const { return fs::path(folder_->path().toStdString()); }

  static void ClickEntry(FileListBox& list, int row, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers,
                      list.visualItemRect(list.item(row)).center());
  }

  std::unique_ptr<QTemporaryDir> folder_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::FileListBoxTest)
#include "file_list_box_test.moc"
