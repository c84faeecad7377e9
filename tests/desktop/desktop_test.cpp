// What a send shows on a real desktop: the status icon in a real status area while the FTP
// client runs, and the notification that a real notification service received when it
// ended. The window, the real ftp.exe and a real FTP server on loopback, on an X server, a
// session bus, a notification service and a status area that the test starts itself.

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "core/build_config.h"
#include "desktop_session.h"
#include "scripted_dialogs.h"
#include "tests/support/ftp_server.h"
#include "tests/support/loopback.h"
#include "window/qt/desktop_notices.h"
#include "window_fixture.h"

namespace tunelift::testing {

class DesktopTest : public QObject {
  Q_OBJECT

public:
  explicit DesktopTest(test::DesktopSession& desktop) : desktop_(desktop) {}

private slots:
  void initTestCase() { QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000); }

  void init() {
    seen_ = desktop_.Notifications().size();
    fixture_ = std::make_unique<WindowFixture>();
    fs::copy_file(TUNELIFT_FTP_CLIENT, fixture_->ProgramFolder() / "ftp.exe");
    QVERIFY(fixture_->LoadAndShow());
    for (const char* name : {"Blue Monday.mp3", "Jolene.mp3"}) {
      fixture_->dialogs().AnswerOpenWith(WriteFile(fixture_->MusicFolder() / name).string());
      fixture_->Click("Browse");
    }
  }

  void cleanup() {
    fixture_.reset();
    unsetenv("TUNELIFT_FTP_CONNECT_TO");
  }

  void aSendThatWentIsNotifiedAndItsIconGoes() {
    test::TempFolder received;
    const test::FtpServer server(received.path());
    SendTo(server.ConnectTo(kFtpHost));
    QTRY_COMPARE_WITH_TIMEOUT(desktop_.Notifications().size(), seen_ + 1, 30000);
    const test::ReceivedNotification& notice = desktop_.Notifications().back();
    QCOMPARE(notice.appName, std::string("Tunelift"));
    QCOMPARE(notice.summary, std::string("The music went"));
    QCOMPARE(notice.body, "2 MP3 files were sent to " + std::string(kFtpHost) +
                              " and verified.\nThe connection was not encrypted. The server's "
                              "identity was not checked.");
    QCOMPARE(notice.urgency, std::string("NORMAL"));
    QVERIFY(!SendingIcon()->isVisible());
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
  }

  void aSendThatFailedIsNotifiedWithTheClientsReason() {
    const test::LoopbackPort refusing(test::LoopbackPort::Behaviour::Refusing);
    SendTo(std::string(kFtpHost) + ":21:127.0.0.1:" + std::to_string(refusing.port()));
    QTRY_COMPARE_WITH_TIMEOUT(desktop_.Notifications().size(), seen_ + 1, 30000);
    const test::ReceivedNotification& notice = desktop_.Notifications().back();
    QCOMPARE(notice.summary, std::string("The music did not go"));
    // The server as the script names it: the redirection to loopback is the test's own.
    const std::string reason = "\nThe FTP client said: Nothing answered on " +
                               std::string(kFtpHost) + " port 21 (connection refused).";
    QVERIFY2(notice.body.starts_with("No MP3 file was sent to " + std::string(kFtpHost) + ".\n"),
             notice.body.c_str());
    QVERIFY2(notice.body.find(reason) != std::string::npos, notice.body.c_str());
    QVERIFY2(notice.body.ends_with("\nThe staged files are still there; press \"Send the Music!\" "
                                   "to try again."),
             notice.body.c_str());
    QCOMPARE(notice.urgency, std::string("CRITICAL"));
    QCOMPARE(FileNames(fixture_->StagingFolder()),
             (std::vector<std::string>{"Blue Monday.mp3", "Jolene.mp3"}));
    QVERIFY(!SendingIcon()->isVisible());
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
  }

  void theSendingIconSitsInTheStatusAreaWhileTheClientWaits() {
    auto silent = std::make_unique<test::LoopbackPort>(test::LoopbackPort::Behaviour::Silent);
    SendTo(std::string(kFtpHost) + ":21:127.0.0.1:" + std::to_string(silent->port()));
    // Docked, the icon has its place in the status area at the screen's top right (until
    // then it sits at the corner, 0,0).
    const QRect screen = QApplication::primaryScreen()->geometry();
    QTRY_VERIFY_WITH_TIMEOUT(SendingIcon()->geometry().left() > screen.width() / 2, 10000);
    QVERIFY(SendingIcon()->geometry().bottom() <= 24);
    QVERIFY(SendingIcon()->isVisible());
    QCOMPARE(desktop_.Notifications().size(), seen_);

    silent.reset();  // the waiting client's connection is cut: the send fails and ends
    QTRY_COMPARE_WITH_TIMEOUT(desktop_.Notifications().size(), seen_ + 1, 30000);
    QVERIFY(!SendingIcon()->isVisible());
  }

  void aNoticeReachesAServiceThatReadsMarkupEscaped() {
    ScriptedDialogs dialogs;
    {
      DesktopNotices notices(dialogs);
      notices.Tell({.summary = "Rock & Roll", .body = "<Rock & Roll>.mp3\nwas refused", .failed = true});
    }  // going, it waits until the service has the notice
    QTRY_COMPARE(desktop_.Notifications().size(), seen_ + 1);
    const std::vector<test::ReceivedNotification>& received = desktop_.Notifications();
    QCOMPARE(received.back().summary, std::string("Rock & Roll"));
    QCOMPARE(received.back().body, std::string("&lt;Rock &amp; Roll&gt;.mp3\nwas refused"));
    QVERIFY(dialogs.msgBoxCalls().empty());
  }

private:
  void SendTo(const std::string& connectTo) {
    setenv("TUNELIFT_FTP_CONNECT_TO", connectTo.c_str(), 1);
    fixture_->Click("Send");
    QSystemTrayIcon* icon = SendingIcon();
    QVERIFY(icon != nullptr);
    QVERIFY(icon->isVisible());
    QCOMPARE(icon->toolTip(), QStringLiteral("Sending the music\u2026"));
  }

  QSystemTrayIcon* SendingIcon() const {
    return fixture_->window().findChild<QSystemTrayIcon*>(QStringLiteral("SendingIcon"));
  }

  test::DesktopSession& desktop_;
  std::size_t seen_ = 0;
  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

int main(int argc, char* argv[]) {
  // The desktop first: the application connects to its display and bus as it starts.
  tunelift::test::DesktopSession desktop;
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  tunelift::testing::DesktopTest test(desktop);
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_test.moc"
