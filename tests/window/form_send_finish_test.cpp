// "Send the Music!" and "Finish!", clicked as a user would. The FTP client is a stand-in
// program that records how it was started; it is found because the client is looked for in
// the program folder first.

#include <QTest>
#include <memory>
#include <sstream>

#include "window/dialogs.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

// One line per started client: its current directory, then its arguments.
std::vector<std::vector<std::string>> ClientRuns(const fs::path& programFolder) {
  std::vector<std::vector<std::string>> runs;
  std::istringstream lines(ReadFile(programFolder / "ftp-runs.txt"));
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '\t');) {
      fields.push_back(field);
    }
    runs.push_back(fields);
  }
  return runs;
}

void InstallStandInClient(const fs::path& programFolder) {
  const fs::path client = programFolder / "ftp.exe";
  fs::copy_file(TUNELIFT_FAKE_FTP_CLIENT, client);
  fs::permissions(client, fs::perms::owner_all);
}

}  // namespace

class FormSendFinishTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    fixture_ = std::make_unique<WindowFixture>();
    QVERIFY(fixture_->LoadAndShow());
  }
  void cleanup() { fixture_.reset(); }

  void sendStartsTheClientOnTheScriptInTheProgramFolder() {
    InstallStandInClient(fixture_->ProgramFolder());
    WriteFile(fixture_->StagingFolder() / "song.mp3");
    fixture_->Click("Send");
    QTRY_COMPARE(ClientRuns(fixture_->ProgramFolder()).size(), std::size_t(1));
    const std::vector<std::string> run = ClientRuns(fixture_->ProgramFolder())[0];
    QCOMPARE(run.size(), std::size_t(2));
    QVERIFY(fs::equivalent(run[0], fixture_->ProgramFolder()));
    QCOMPARE(run[1], std::string("-s:sendfiles.ftps"));
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
    QCOMPARE(fixture_->Listed(), QStringList());  // Send leaves the list alone
  }

  void sendPressedTwiceStartsTwoClients() {
    InstallStandInClient(fixture_->ProgramFolder());
    fixture_->Click("Send");
    fixture_->Click("Send");
    QTRY_COMPARE(ClientRuns(fixture_->ProgramFolder()).size(), std::size_t(2));
  }

  void sendWithoutAClientReportsItAndTheWindowStays() {
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", fixture_->MusicFolder().string().c_str());
    fixture_->Click("Send");
    qputenv("PATH", path);
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(boxes[0].prompt.starts_with("Could not start the FTP client.\r\n"));
    QVERIFY(boxes[0].prompt.find("ftp.exe") != std::string::npos);
    QVERIFY(fixture_->window().isVisible());
  }

  void finishDeletesFolderAndScriptAndCloses() {
    WriteFile(fixture_->StagingFolder() / "song.mp3");
    WriteFile(fixture_->StagingFolder() / "cover.jpg");
    fixture_->Click("Finish");
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
    QVERIFY(!fs::exists(fixture_->StagingFolder()));
    QVERIFY(!fs::exists(fixture_->UploadScript()));
    QVERIFY(!fixture_->window().isVisible());
  }

  void finishWithTheFolderGoneWarnsBeforeDeletingTheScript() {
    fs::remove_all(fixture_->StagingFolder());
    bool scriptThereWhileWarned = false;
    fixture_->dialogs().AnswerMsgBoxWith(msgbox::kIdOk, [&] {
      scriptThereWhileWarned = fs::exists(fixture_->UploadScript());
    });
    fixture_->Click("Finish");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].prompt, fixture_->StagingFolder().string() +
                                  " does not exist or has already been deleted!");
    QCOMPARE(boxes[0].style, 48);
    QCOMPARE(boxes[0].title, std::string("Folder not Found"));
    QVERIFY(scriptThereWhileWarned);
    QVERIFY(!fs::exists(fixture_->UploadScript()));
    QVERIFY(!fixture_->window().isVisible());
  }

  void finishThatCannotDeleteTheFolderSaysSoAndCanBePressedAgain() {
    const fs::path locked = WriteFile(fixture_->StagingFolder() / "song.mp3");
    fs::permissions(locked, fs::perms::owner_read);
    fixture_->Click("Finish");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(boxes[0].prompt.starts_with("Could not delete the staging folder;"));
    QVERIFY(boxes[0].prompt.find(locked.string()) != std::string::npos);
    QVERIFY(fixture_->window().isVisible());
    QVERIFY(fs::exists(locked));
    QVERIFY(fs::exists(fixture_->UploadScript()));

    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_write);
    fixture_->Click("Finish");
    QVERIFY(!fs::exists(fixture_->StagingFolder()));
    QVERIFY(!fixture_->window().isVisible());
  }

private:
  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::FormSendFinishTest)
#include "form_send_finish_test.moc"
