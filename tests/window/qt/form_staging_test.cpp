// Start-up, "Browse for .MP3 files", "Delete Selected" and "Delete All", clicked as a user
// would, with scripted answers from the dialogs.

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <memory>
#include <stdexcept>

#include "window/dialogs.h"
#include "window_fixture.h"

namespace tunelift::testing {

class FormStagingTest : public QObject {
  Q_OBJECT

private slots:
  void init() { fixture_ = std::make_unique<WindowFixture>(); }
  void cleanup() { fixture_.reset(); }

  void loadPreparesFolderAndScriptAndPointsTheListAtTheStagingFolder() {
    QVERIFY(fixture_->LoadAndShow());
    QVERIFY(fs::is_directory(fixture_->StagingFolder()));
    QVERIFY(fs::is_regular_file(fixture_->UploadScript()));
    QCOMPARE(fs::current_path(), fixture_->ProgramFolder());
    QCOMPARE(fixture_->Control<QLabel>("Label4")->text().toStdString(),
             fixture_->ProgramFolder().string());
    QCOMPARE(fixture_->window().StagedFiles().Path(), fixture_->StagingFolder().string());
    QVERIFY(fixture_->Listed().isEmpty());
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
  }

  void loadListsTheMp3FilesLeftByAnEarlierRun() {
    fs::create_directory(fixture_->StagingFolder());
    for (const char* name : {"b-side.mp3", "A-SIDE.MP3", "notes.txt", ".hidden.mp3"}) {
      WriteFile(fixture_->StagingFolder() / name);
    }
    QVERIFY(fixture_->LoadAndShow());
    QCOMPARE(fixture_->Listed(), QStringList({"A-SIDE.MP3", "b-side.mp3"}));
    QCOMPARE(FileNames(fixture_->StagingFolder()).size(), std::size_t(4));
  }

  void loadThatCannotCreateTheStagingFolderFailsAndSaysWhy() {
    WriteFile(fixture_->StagingFolder(), "a plain file where the folder belongs");
    QVERIFY(!fixture_->window().Load());
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(boxes[0].prompt.starts_with("Could not prepare the staging folder.\r\n"));
    QVERIFY(boxes[0].prompt.find(fixture_->StagingFolder().string()) != std::string::npos);
    QVERIFY(!fs::exists(fixture_->UploadScript()));
  }

  void browseOffersTheOpenFileSettingsOfLoad() {
    QVERIFY(fixture_->LoadAndShow());
    fixture_->Click("Browse");
    QCOMPARE(fixture_->dialogs().openCalls().size(), std::size_t(1));
    const OpenFileSettings& shown = fixture_->dialogs().openCalls()[0];
    QCOMPARE(shown.initDir, fixture_->ProgramFolder().string());
    QCOMPARE(shown.filter, std::string("MP3 Files (*.MP3)|*.mp3|All Files (*.*)|*.*"));
    QCOMPARE(shown.filterIndex, 1);
    QCOMPARE(shown.dialogTitle, std::string("Open File"));
    QCOMPARE(shown.flags, 2625540L);
    QVERIFY(shown.cancelError);
  }

  void browseCancelledStagesNothingAndShowsNothing() {
    QVERIFY(fixture_->LoadAndShow());
    WriteFile(fixture_->StagingFolder() / "added-behind-its-back.mp3");
    fixture_->dialogs().FailOpenWith(32755, "Cancel was selected.");
    fixture_->Click("Browse");
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
    QCOMPARE(FileNames(fixture_->StagingFolder()),
             std::vector<std::string>{"added-behind-its-back.mp3"});
    QCOMPARE(fixture_->Listed(),
             QStringList{"added-behind-its-back.mp3"});  // refreshed all the same
  }

  // The platform's own dialog does the same when it is given the same initial folder each time.
  void browseOpensInTheProgramFolderThenWhereTheUserLastPicked() {
    QVERIFY(fixture_->LoadAndShow());
    const fs::path album = fixture_->MusicFolder() / "album";
    fs::create_directory(album);
    fixture_->Click("Browse");  // cancelled
    fixture_->dialogs().AnswerOpenWith(WriteFile(album / "song.mp3").string());
    fixture_->Click("Browse");
    fixture_->Click("Browse");                        // cancelled
    fixture_->dialogs().AnswerOpenWith("/gone.mp3");  // picked, but cannot be staged
    fixture_->Click("Browse");
    fixture_->Click("Browse");  // cancelled
    std::vector<std::string> initialFolders;
    for (const OpenFileSettings& shown : fixture_->dialogs().openCalls()) {
      initialFolders.push_back(shown.initDir);
    }
    const std::string program = fixture_->ProgramFolder().string();
    QCOMPARE(initialFolders,
             std::vector<std::string>({program, program, album.string(), album.string(), "/"}));
  }

  void browseDialogFailureShowsErrorNumberThenDescription() {
    QVERIFY(fixture_->LoadAndShow());
    fixture_->dialogs().FailOpenWith(20476, "The FileName buffer is too small.");
    fixture_->Click("Browse");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].prompt,
             std::string("Error 20476 selecting file.\r\nThe FileName buffer is too small."));
    QCOMPARE(boxes[0].style, 0);
    QCOMPARE(boxes[0].title, std::string());
    QVERIFY(FileNames(fixture_->StagingFolder()).empty());
  }

  // Nothing may leave a Qt slot: a failure that is not the tool's own error is still reported.
  void browseFailureOfAnotherKindIsReportedAndTheWindowStays() {
    QVERIFY(fixture_->LoadAndShow());
    fixture_->dialogs().ThrowFromOpen(std::make_exception_ptr(std::runtime_error("no handles")));
    fixture_->Click("Browse");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].prompt, std::string("Could not show the open-file dialog.\r\nno handles"));
    QCOMPARE(boxes[0].style, 48);
    QVERIFY(fixture_->window().isVisible());
    QVERIFY(FileNames(fixture_->StagingFolder()).empty());
  }

  void browseStagesTheChosenFileAndListsIt() {
    QVERIFY(fixture_->LoadAndShow());
    const fs::path song = WriteFile(fixture_->MusicFolder() / "song.mp3", "the tune");
    fixture_->dialogs().AnswerOpenWith(song.string(), [] {
      QVERIFY(QApplication::overrideCursor() == nullptr);  // no busy cursor over the dialog
    });
    fixture_->Click("Browse");
    QCOMPARE(ReadFile(fixture_->StagingFolder() / "song.mp3"), std::string("the tune"));
    QCOMPARE(fixture_->Listed(), QStringList{"song.mp3"});
    QVERIFY(fs::exists(song));
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void browseStagesAFileOfAnyKindButListsOnlyMp3Files() {
    QVERIFY(fixture_->LoadAndShow());
    fixture_->dialogs().AnswerOpenWith(WriteFile(fixture_->MusicFolder() / "cover.jpg").string());
    fixture_->Click("Browse");
    QCOMPARE(FileNames(fixture_->StagingFolder()), std::vector<std::string>{"cover.jpg"});
    QVERIFY(fixture_->Listed().isEmpty());
  }

  void browseThatCannotCopyReportsItAndTheWindowStays() {
    QVERIFY(fixture_->LoadAndShow());
    const fs::path gone = fixture_->MusicFolder() / "gone.mp3";
    fixture_->dialogs().AnswerOpenWith(gone.string());
    fixture_->dialogs().AnswerMsgBoxWith(msgbox::kIdOk, [] {
      QVERIFY(QApplication::overrideCursor() == nullptr);  // the copy is over, so is the wait
    });
    fixture_->Click("Browse");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(boxes[0].prompt.starts_with("Could not stage the file.\r\n"));
    QVERIFY(boxes[0].prompt.find(gone.string()) != std::string::npos);
    QCOMPARE(boxes[0].style, 48);
    QVERIFY(fixture_->window().isVisible());
    QVERIFY(FileNames(fixture_->StagingFolder()).empty());
  }

  // Names that reach the folder from outside the tool need not be UTF-8; the list shows them
  // alike, but deletes the very one picked.
  void deleteSelectedDeletesTheNameOnDiskNotTheOneShown() {
    fs::create_directory(fixture_->StagingFolder());
    for (const char* name : {"bad\xff.mp3", "bad\xfe.mp3"}) {
      WriteFile(fixture_->StagingFolder() / name);
    }
    QVERIFY(fixture_->LoadAndShow());
    auto* list = fixture_->Control<QListWidget>("File1");
    const int row = fixture_->window().StagedFiles().List(0) == "bad\xfe.mp3" ? 0 : 1;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
    fixture_->dialogs().AnswerMsgBoxWith(msgbox::kIdYes);
    fixture_->Click("cmdDelete");
    QVERIFY(fixture_->dialogs().msgBoxCalls().size() == 1);  // the question, no failure
    QCOMPARE(FileNames(fixture_->StagingFolder()), std::vector<std::string>{"bad\xff.mp3"});
    QCOMPARE(fixture_->Listed().size(), 1);
  }

  // A failed click leaves no entry for a file that is gone.
  void deleteSelectedThatFailsStillRefreshesTheList() {
    StageTwoSongs();
    fixture_->Select("two.mp3");
    fixture_->dialogs().AnswerMsgBoxWith(msgbox::kIdYes, [this] {
      fs::remove(fixture_->StagingFolder() / "two.mp3");  // gone while the user was asked
    });
    fixture_->Click("cmdDelete");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(2));
    QVERIFY(boxes[1].prompt.starts_with("Could not delete the file.\r\n"));
    QCOMPARE(fixture_->Listed(), QStringList{"one.mp3"});
  }

  void browseThatFailsStillRefreshesTheList() {
    StageTwoSongs();
    fixture_->dialogs().AnswerOpenWith((fixture_->MusicFolder() / "gone.mp3").string(), [this] {
      fs::remove(fixture_->StagingFolder() / "one.mp3");
    });
    fixture_->Click("Browse");
    QCOMPARE(fixture_->dialogs().msgBoxCalls().size(), std::size_t(1));
    QCOMPARE(fixture_->Listed(), QStringList{"two.mp3"});
  }

  // The handler went well, but the list cannot be read: that is said, and nothing is listed.
  void aStagingFolderGoneBehindItsBackIsReportedAndEmptiesTheList() {
    StageTwoSongs();
    fs::remove_all(fixture_->StagingFolder());
    fixture_->Click("Browse");  // cancelled
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(boxes[0].prompt.starts_with("Could not read the staging folder.\r\n"));
    QVERIFY(boxes[0].prompt.find(fixture_->StagingFolder().string()) != std::string::npos);
    QVERIFY(fixture_->Listed().isEmpty());
    QVERIFY(fixture_->window().isVisible());
  }

private:
  void StageTwoSongs() {
    QVERIFY(fixture_->LoadAndShow());
    for (const char* name : {"one.mp3", "two.mp3"}) {
      fixture_->dialogs().AnswerOpenWith(WriteFile(fixture_->MusicFolder() / name).string());
      fixture_->Click("Browse");
    }
    QCOMPARE(fixture_->Listed(), QStringList({"one.mp3", "two.mp3"}));
  }

  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::FormStagingTest)
#include "form_staging_test.moc"
