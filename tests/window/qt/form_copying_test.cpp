// A chosen file copied while the window stays live, clicked as a user would: the copy runs on
// its own thread for real, and the progress dialog is Qt's own. A copy that takes time is a
// large sparse file: it reads as zeros, but every byte of its copy is written to the disk.

#include <QApplication>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>

#include "posix_checks.h"
#include "window/dialogs.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

using namespace std::chrono_literals;

// Long enough that no copy here ends before a test has looked at it running.
constexpr std::uintmax_t kLongCopy = std::uintmax_t{2} << 30;
// Long enough that the window sees the copy part way, short enough to copy whole.
constexpr std::uintmax_t kSlowCopy = std::uintmax_t{400} << 20;
// Shorter than the program's, as a slow disk would make any copy seem.
constexpr FormOptions kProgressAtOnce{.progressDelay = 20ms};
// A delay that never comes in a test: the window stays without a progress dialog.
constexpr FormOptions kProgressNever{.progressDelay = 1h};

const std::string kStillCopying = "A song is still being copied. Try again when it is done.";

// A file of `size` bytes in `folder`, sparse.
fs::path SparseFile(const fs::path& path, std::uintmax_t size) {
  WriteFile(path, "");
  fs::resize_file(path, size);
  return path;
}

// What the window showed of a copy, looked at by a timer of the test's own as it ran.
struct Seen {
  int ticksWhileCopying = 0;
  int dialogsShown = 0;
  bool modalToTheWindow = false;
  QString label;
  QList<int> barValues;
};

}  // namespace

class FormCopyingTest : public QObject {
  Q_OBJECT

private slots:
  void cleanup() { fixture_.reset(); }

  void aLongCopyShowsItsProgressWhileTheWindowGoesOn() {
    Open(kProgressAtOnce);
    const fs::path chosen = SparseFile(fixture_->MusicFolder() / "long song.mp3", kSlowCopy);
    fixture_->dialogs().AnswerOpenWith(chosen.string());
    Seen seen;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] { Look(seen); });
    watch.start(5);
    fixture_->Press("Browse");
    QVERIFY(fixture_->AwaitCopyEnd());
    watch.stop();

    QVERIFY2(seen.ticksWhileCopying > 1, "the window's events ran while the copy did");
    QVERIFY(seen.dialogsShown > 0);
    QVERIFY(seen.modalToTheWindow);
    QVERIFY2(seen.label.startsWith(u"Copying long song.mp3 into the staging folder\u2026\n"),
             qPrintable(seen.label));
    QVERIFY2(seen.label.endsWith(QStringLiteral(" of 419.4 MB copied")), qPrintable(seen.label));
    QVERIFY2(std::ranges::any_of(seen.barValues, [](int v) { return v > 0 && v < 1000; }),
             "the bar moves as the copy goes");
    QVERIFY(std::ranges::is_sorted(seen.barValues));
    QVERIFY(fixture_->ProgressShown() == nullptr);
    QCOMPARE(fs::file_size(fixture_->StagingFolder() / "long song.mp3"), kSlowCopy);
    QCOMPARE(fixture_->Listed(), QStringList{"long song.mp3"});
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void aShortCopyShowsNoProgressAndListsTheSong() {
    Open(kProgressNever);
    fixture_->dialogs().AnswerOpenWith(WriteFile(fixture_->MusicFolder() / "song.mp3").string());
    fixture_->Press("Browse");
    QVERIFY(fixture_->Copying());
    QVERIFY(QApplication::overrideCursor() != nullptr);  // the busy sign while it copies
    QVERIFY(fixture_->AwaitCopyEnd());
    QVERIFY(fixture_->window().findChild<QProgressDialog*>() == nullptr);
    QCOMPARE(fixture_->Listed(), QStringList{"song.mp3"});
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void cancelStopsTheCopyAndLeavesTheFolderAndTheListAsTheyWere() {
    Open(kProgressAtOnce, {{"long.mp3", "the older copy"}, {"other.mp3", "music"}});
    fixture_->Select("other.mp3");
    const QStringList before = fixture_->Listed();
    fixture_->dialogs().AnswerOpenWith(
        SparseFile(fixture_->MusicFolder() / "long.mp3", kLongCopy).string());
    fixture_->Press("Browse");
    QTRY_VERIFY(fixture_->ProgressShown() != nullptr);
    QVERIFY(QApplication::overrideCursor() == nullptr);  // an arrow over Cancel

    auto* cancel = fixture_->ProgressShown()->findChild<QPushButton*>();
    QVERIFY(cancel != nullptr);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(fixture_->AwaitCopyEnd());

    QVERIFY(fixture_->ProgressShown() == nullptr);
    QCOMPARE(FileNames(fixture_->StagingFolder()),
             (std::vector<std::string>{"long.mp3", "other.mp3"}));  // no part of the copy
    QCOMPARE(ReadFile(fixture_->StagingFolder() / "long.mp3"), std::string("the older copy"));
    QCOMPARE(fixture_->Listed(), before);
    QCOMPARE(fixture_->window().StagedFiles().List(fixture_->window().StagedFiles().ListIndex()),
             std::string("other.mp3"));
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
  }

  void theProgressDialogIsModalToTheWindow() {
    Open(kProgressAtOnce);
    fixture_->dialogs().AnswerOpenWith(
        SparseFile(fixture_->MusicFolder() / "long.mp3", kLongCopy).string());
    fixture_->Press("Browse");
    QTRY_VERIFY(fixture_->ProgressShown() != nullptr);
    QVERIFY(fixture_->ProgressShown()->isModal());
    QCOMPARE(fixture_->ProgressShown()->parentWidget(), &fixture_->window());
    QVERIFY(QApplication::activeModalWidget() == fixture_->ProgressShown());
    QVERIFY(fixture_->Copying());
  }

  void everyButtonIsRefusedWhileACopyRunsWithAWordWhy() {
    Open(kProgressNever, {{"kept.mp3", "music"}});
    fixture_->Select("kept.mp3");
    fixture_->dialogs().AnswerOpenWith(
        SparseFile(fixture_->MusicFolder() / "long.mp3", kLongCopy).string());
    fixture_->Press("Browse");
    QVERIFY(fixture_->Copying());

    const std::vector<std::string_view> buttons{"Browse", "cmdDelete", "Delete", "Send", "Finish"};
    for (std::string_view button : buttons) {
      fixture_->Press(button);
    }
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), buttons.size());
    for (const MsgBoxCall& box : boxes) {
      QCOMPARE(box.prompt, kStillCopying);
      QCOMPARE(box.style, msgbox::kIconInformation);
    }
    QCOMPARE(fixture_->dialogs().openCalls().size(), std::size_t(1));
    QVERIFY(fs::exists(fixture_->StagingFolder() / "kept.mp3"));
    QVERIFY(fs::exists(fixture_->UploadScript()));
    QVERIFY(fixture_->window().isVisible());
    QVERIFY(fixture_->Copying());
  }

  void closingTheWindowDuringACopyStopsItAndLeavesNoPartOfIt() {
    Open(kProgressNever, {{"long.mp3", "the older copy"}});
    fixture_->dialogs().AnswerOpenWith(
        SparseFile(fixture_->MusicFolder() / "long.mp3", kLongCopy).string());
    fixture_->Press("Browse");
    QVERIFY(fixture_->Copying());
    QVERIFY(fixture_->window().close());
    // Stopped and ended by the time the window has closed: nothing is left behind.
    QVERIFY(!fixture_->Copying());
    QCOMPARE(FileNames(fixture_->StagingFolder()), std::vector<std::string>{"long.mp3"});
    QCOMPARE(ReadFile(fixture_->StagingFolder() / "long.mp3"), std::string("the older copy"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
  }

  void aCopyThatFailsPartWayGivesOneMessageBoxAsBefore() {
    Open(kProgressNever, {{"long.mp3", "the older copy"}});
    const fs::path chosen =
        SparseFile(fixture_->MusicFolder() / "long.mp3", std::uintmax_t{64} << 20);
    fixture_->dialogs().AnswerOpenWith(chosen.string());
    fixture_->dialogs().AnswerMsgBoxWith(msgbox::kIdOk, [] {
      QVERIFY(QApplication::overrideCursor() == nullptr);  // the copy is over, so is the wait
    });
    {
      const FileSizeLimit limit(std::uintmax_t{20} << 20);  // as a disk that fills up part way
      fixture_->Click("Browse");
    }
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY2(
        boxes[0].prompt.starts_with("Could not stage the file.\r\nCannot copy '" + chosen.string()),
        boxes[0].prompt.c_str());
    QVERIFY2(boxes[0].prompt.find("File too large") != std::string::npos, boxes[0].prompt.c_str());
    QCOMPARE(boxes[0].style, 48);
    QCOMPARE(FileNames(fixture_->StagingFolder()), std::vector<std::string>{"long.mp3"});
    QCOMPARE(ReadFile(fixture_->StagingFolder() / "long.mp3"), std::string("the older copy"));
    QCOMPARE(fixture_->Listed(), QStringList{"long.mp3"});
    QVERIFY(fixture_->window().isVisible());
  }

private:
  // The window, with `staged` (names and contents) left in its staging folder by an earlier run.
  void Open(FormOptions options,
            const std::vector<std::pair<std::string, std::string>>& staged = {}) {
    fixture_ = std::make_unique<WindowFixture>(options);
    fs::create_directories(fixture_->StagingFolder());
    for (const auto& [name, content] : staged) {
      WriteFile(fixture_->StagingFolder() / name, content);
    }
    QVERIFY(fixture_->LoadAndShow());
  }

  void Look(Seen& seen) const {
    if (!fixture_->Copying()) {
      return;
    }
    ++seen.ticksWhileCopying;
    if (QProgressDialog* dialog = fixture_->ProgressShown()) {
      ++seen.dialogsShown;
      seen.modalToTheWindow = dialog->windowModality() == Qt::WindowModal &&
                              dialog->parentWidget() == &fixture_->window();
      seen.label = dialog->labelText();
      seen.barValues.append(dialog->findChild<QProgressBar*>()->value());
    }
  }

  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::FormCopyingTest)
#include "form_copying_test.moc"
