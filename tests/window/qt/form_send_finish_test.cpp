// "Send the Music!" and "Finish!", clicked as a user would. The FTP client is a stand-in
// program that records how it was started, can be held until the test lets it go, and ends
// with a transcript and exit status the test gives it; it is found because the client is
// looked for in the program folder first. These tests run without a session bus, so the
// end of a send is told in a (scripted) message box.

#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <cerrno>
#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

#include "window/dialogs.h"
#include <QTimer>
#include "replay_client.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

// True once a child of this process has ended and waits to be reaped.
bool AChildHasEnded() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

// What the stand-in client's report says of a host that cannot be found.
constexpr const char* kResolveFailure =
    "tunelift-send-report\t1\n"
    "failure\t0\t\tCould not resolve host: tunelift.example.net (error 6)\n"
    "file\tsong.mp3\t5\t0\twaiting\t0\t\t\n"
    "end\t1\n";

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
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
    QCOMPARE(fixture_->Listed(), QStringList{"song.mp3"});  // refreshed, as after every click
    QTRY_COMPARE(ClientRuns(fixture_->ProgramFolder()).size(), std::size_t(1));
    const std::vector<std::string> run = ClientRuns(fixture_->ProgramFolder())[0];
    QCOMPARE(run.size(), std::size_t(2));
    QVERIFY(fs::equivalent(run[0], fixture_->ProgramFolder()));
    QCOMPARE(run[1], std::string("-s:sendfiles.ftps"));
  }

  void aFailedSendIsToldWithTheClientsReason() {
    InstallStandInClient(fixture_->ProgramFolder());
    ReplayForClients(fixture_->ProgramFolder(), 1, "ftp: 5 bytes sent in 1 Seconds\n");
    ReportForClients(fixture_->ProgramFolder(), kResolveFailure);
    WriteFile(fixture_->StagingFolder() / "song.mp3");
    fixture_->Click("Send");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QTRY_COMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].prompt,
             std::string("The music did not go\r\n"
                         "No MP3 file was sent to tunelift.example.net.\r\n"
                         "The FTP client said: Could not resolve host: tunelift.example.net "
                         "(error 6)\r\n"
                         "song.mp3 was not sent: the FTP client did not come to it.\r\n"
                         "No connection to the server was made.\r\n"
                         "The staged files are still there; press \"Send the Music!\" to try "
                         "again."));
    QCOMPARE(boxes[0].style, msgbox::kIconExclamation);
    // Told once, and the timer stops with the last client.
    QTest::qWait(600);
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(!fixture_->window().findChild<QTimer*>(QStringLiteral("SendTimer"))->isActive());
  }

  void finishRightAfterASendEndedTellsItBeforeItsTranscriptGoes() {
    InstallStandInClient(fixture_->ProgramFolder());
    ReportForClients(fixture_->ProgramFolder(), kResolveFailure);
    WriteFile(fixture_->StagingFolder() / "song.mp3");
    ClientHold hold(fixture_->ProgramFolder());
    fixture_->Click("Send");
    QTRY_COMPARE(ClientRuns(fixture_->ProgramFolder()).size(), std::size_t(1));
    hold.Release();
    // No event is processed meanwhile: the window's timer cannot have seen the end.
    for (int i = 0; i < 1000 && !AChildHasEnded(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    QVERIFY(AChildHasEnded());

    bool transcriptThereWhileTold = false;
    fixture_->dialogs().AnswerMsgBoxWith(msgbox::kIdOk, [&] {
      // The report is marked told as it is told, so that no other window tells it again.
      transcriptThereWhileTold = fs::exists(fixture_->ProgramFolder() / "sendfiles-1.log") &&
                                 fs::exists(fixture_->ProgramFolder() / "sendfiles-1.report.told");
    });
    fixture_->Click("Finish");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(boxes[0].prompt.find("Could not resolve host") != std::string::npos);
    QVERIFY(transcriptThereWhileTold);
    QVERIFY(!fs::exists(fixture_->ProgramFolder() / "sendfiles-1.log"));
    QVERIFY(!fs::exists(fixture_->ProgramFolder() / "sendfiles-1.report.told"));
    QVERIFY(!fixture_->window().isVisible());
  }

  void sendPressedTwiceStartsOneClientAndSaysWhy() {
    InstallStandInClient(fixture_->ProgramFolder());
    WriteFile(fixture_->StagingFolder() / "song.mp3");
    ClientHold hold(fixture_->ProgramFolder());
    fixture_->Click("Send");
    QTRY_COMPARE(ClientRuns(fixture_->ProgramFolder()).size(), std::size_t(1));
    fixture_->Click("Send");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(boxes[0].prompt.starts_with("The music is still being sent"));
    hold.Release();
    QTRY_VERIFY(!fixture_->window().findChild<QTimer*>(QStringLiteral("SendTimer"))->isActive());
    QCOMPARE(ClientRuns(fixture_->ProgramFolder()).size(), std::size_t(1));
  }

  void sendWithoutAClientReportsItAndTheWindowStays() {
    WriteFile(fixture_->StagingFolder() / "song.mp3");
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

  void finishThatFailsStillRefreshesTheList() {
    WriteFile(fixture_->StagingFolder() / "song.mp3");
    fs::permissions(WriteFile(fixture_->StagingFolder() / "locked.mp3"), fs::perms::owner_read);
    fixture_->Click("Finish");
    QCOMPARE(fixture_->Listed(), QStringList({"locked.mp3", "song.mp3"}));
  }

  // The folder went, the script could not: one box, and the list no longer shows the songs.
  void finishThatFailsAfterDeletingTheFolderLeavesAnEmptyList() {
    fixture_->dialogs().AnswerOpenWith(WriteFile(fixture_->MusicFolder() / "song.mp3").string());
    fixture_->Click("Browse");
    QCOMPARE(fixture_->Listed(), QStringList{"song.mp3"});
    fs::remove(fixture_->UploadScript());
    fs::create_directory(fixture_->UploadScript());  // a folder in its place cannot be deleted
    fixture_->Click("Finish");
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY(boxes[0].prompt.starts_with("Could not delete the upload script.\r\n"));
    QVERIFY(!fs::exists(fixture_->StagingFolder()));
    QVERIFY(fixture_->Listed().isEmpty());
    QVERIFY(fixture_->window().isVisible());
  }

private:
  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::FormSendFinishTest)
#include "form_send_finish_test.moc"
