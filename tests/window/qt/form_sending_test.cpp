// The Qt window while a send runs: the status icon's menu and the window closed during a
// send, clicked as a user would, with the stand-in FTP client. These tests run without a
// session bus, so every notice comes as a (scripted) message box; the status icon, the
// launcher and the desktop's viewer on a real desktop are tested in tests/desktop.

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <memory>

#include "replay_client.h"
#include "window/dialogs.h"
#include "window_fixture.h"

namespace tunelift::testing {

class FormSendingTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    QApplication::setQuitOnLastWindowClosed(true);
    fixture_ = std::make_unique<WindowFixture>();
    QVERIFY(fixture_->LoadAndShow());
    InstallStandInClient(fixture_->ProgramFolder());
    WriteFile(fixture_->StagingFolder() / "a.mp3");
    WriteFile(fixture_->StagingFolder() / "b.mp3");
  }
  void cleanup() { fixture_.reset(); }

  void theSendingMenuHoldsStopSendingAndShowTheTranscript() {
    const auto* menu = fixture_->window().findChild<QMenu*>(QStringLiteral("SendingMenu"));
    QVERIFY(menu != nullptr);
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->objectName(), QStringLiteral("StopSending"));
    QCOMPARE(actions[0]->text(), QStringLiteral("Stop sending"));
    QCOMPARE(actions[1]->objectName(), QStringLiteral("ShowTranscript"));
    QCOMPARE(actions[1]->text(), QStringLiteral("Show the transcript"));
  }

  void stopSendingEndsTheSendAndTellsWhatWent() {
    ReportsForClients(fixture_->ProgramFolder(), kSlowTwoFileSend, std::chrono::minutes(1));
    fixture_->Click("Send");
    QTRY_VERIFY(fs::exists(fixture_->ProgramFolder() / "sendfiles-1.report"));
    MenuAction("StopSending")->trigger();
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY2(boxes[0].prompt.starts_with("The send was stopped\r\n1 MP3 file was sent to "
                                         "tunelift.example.net and verified.\r\nThe send was "
                                         "stopped before it ended.\r\n"),
             boxes[0].prompt.c_str());
    QVERIFY(!SendTimer()->isActive());
    QVERIFY(fixture_->window().isVisible());
    QVERIFY(QApplication::quitOnLastWindowClosed());
  }

  void aSendKeepsTheProgramRunningWhenItsLastWindowCloses() {
    ClientHold hold(fixture_->ProgramFolder());
    fixture_->Click("Send");
    QVERIFY(!QApplication::quitOnLastWindowClosed());
    hold.Release();
    QTRY_VERIFY(!SendTimer()->isActive());
    QVERIFY(QApplication::quitOnLastWindowClosed());
  }

  void closingWithNoSendRunningClosesAndEndsTheProgram() {
    QSignalSpy ended(&fixture_->window(), &MainWindow::ended);
    QVERIFY(CloseAsTheWindowManagerDoes());
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
    QVERIFY(!fixture_->window().isVisible());
    QCOMPARE(ended.count(), 1);
    QVERIFY(fs::exists(fixture_->StagingFolder() / "a.mp3"));
  }

  void closingDuringASendAndKeepingItLetsTheSendEndThenTellsAndEnds() {
    QSignalSpy ended(&fixture_->window(), &MainWindow::ended);
    ReportForClients(fixture_->ProgramFolder(), kSlowTwoFileSend.back());
    auto hold = std::make_unique<ClientHold>(fixture_->ProgramFolder());
    fixture_->Click("Send");
    QTRY_COMPARE(ClientRuns(fixture_->ProgramFolder()).size(), std::size_t(1));
    fixture_->dialogs().AnswerMsgBoxWith(msgbox::kIdYes);
    QVERIFY(CloseAsTheWindowManagerDoes());
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].prompt,
             std::string("The music is still being sent. Keep sending after the window "
                         "closes?"));
    QCOMPARE(boxes[0].style, msgbox::kYesNo | msgbox::kIconQuestion);
    QVERIFY(!fixture_->window().isVisible());
    QVERIFY(!QApplication::quitOnLastWindowClosed());
    QCOMPARE(ended.count(), 0);
    QVERIFY(SendTimer()->isActive());

    hold.reset();
    QTRY_COMPARE(boxes.size(), std::size_t(2));
    QVERIFY(boxes[1].prompt.starts_with("The music went\r\n"));
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(!SendTimer()->isActive());
  }

  void closingDuringASendAndStoppingItTellsWhatWentThenCloses() {
    QSignalSpy ended(&fixture_->window(), &MainWindow::ended);
    ReportsForClients(fixture_->ProgramFolder(), kSlowTwoFileSend, std::chrono::minutes(1));
    fixture_->Click("Send");
    QTRY_VERIFY(fs::exists(fixture_->ProgramFolder() / "sendfiles-1.report"));
    fixture_->dialogs().AnswerMsgBoxWith(msgbox::kIdNo);
    QVERIFY(CloseAsTheWindowManagerDoes());
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(2));
    QVERIFY2(boxes[1].prompt.starts_with("The send was stopped\r\n1 MP3 file was sent"),
             boxes[1].prompt.c_str());
    QVERIFY(!fixture_->window().isVisible());
    QCOMPARE(ended.count(), 1);
    QVERIFY(!SendTimer()->isActive());
    QVERIFY(QApplication::quitOnLastWindowClosed());
  }

  void closingDuringASendWithoutAnAnswerLeavesTheWindowAndTheSend() {
    ClientHold hold(fixture_->ProgramFolder());
    fixture_->Click("Send");
    QTRY_COMPARE(ClientRuns(fixture_->ProgramFolder()).size(), std::size_t(1));
    QVERIFY(!CloseAsTheWindowManagerDoes());  // the scripted box answers OK
    QVERIFY(fixture_->window().isVisible());
    QVERIFY(SendTimer()->isActive());
  }

private:
  // Delivers the close that a window manager asks for (its close box, Alt+F4) to the
  // window's native window, as the platform does; true when the window accepted it.
  bool CloseAsTheWindowManagerDoes() {
    QCloseEvent close;
    QApplication::sendEvent(fixture_->window().windowHandle(), &close);
    return close.isAccepted();
  }

  QAction* MenuAction(const char* name) const {
    return fixture_->window()
        .findChild<QMenu*>(QStringLiteral("SendingMenu"))
        ->findChild<QAction*>(QString::fromLatin1(name));
  }

  QTimer* SendTimer() const {
    return fixture_->window().findChild<QTimer*>(QStringLiteral("SendTimer"));
  }

  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::FormSendingTest)
#include "form_sending_test.moc"
