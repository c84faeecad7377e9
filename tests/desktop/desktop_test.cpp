// What a send shows on a real desktop: the status icon in a real status area while the FTP
// client runs, and the notification that a real notification service received when it
// ended. The window, the real ftp.exe and a real FTP server on loopback, on an X server, a
// session bus, a notification service and a status area that the test starts itself.

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QMenu>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include "core/build_config.h"
#include "desktop_session.h"
#include "scripted_dialogs.h"
#include "tests/support/ftp_server.h"
#include "tests/support/loopback.h"
#include "window/qt/desktop_notices.h"
#include "window_fixture.h"

namespace tunelift::testing {

// A second client of the session bus, as a dock is: it records every launcher entry update
// that reaches it.
class LauncherWatcher : public QObject {
  Q_OBJECT

public:
  struct Update {
    QString appUri;
    QVariantMap properties;
  };

  LauncherWatcher()
      : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                           QStringLiteral("launcher-watcher"))) {
    if (!bus_.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                      QStringLiteral("Update"), this, SLOT(Updated(QString, QVariantMap)))) {
      throw std::runtime_error("cannot watch the launcher entry's updates");
    }
  }
  ~LauncherWatcher() override {
    QDBusConnection::disconnectFromBus(QStringLiteral("launcher-watcher"));
  }

  const std::vector<Update>& updates() const { return updates_; }

public slots:
  void Updated(const QString& appUri, const QVariantMap& properties) {
    updates_.push_back({appUri, properties});
  }

private:
  QDBusConnection bus_;
  std::vector<Update> updates_;
};

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
    unsetenv("TUNELIFT_FTP_CONNECTIONS");
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
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

  void theTooltipAndTheLauncherFollowASlowSend() {
    // Far more than the loopback's socket buffers hold, received at 6 MB a second: the
    // client's count of what the server holds grows for seconds.
    for (const char* name : {"Blue Monday.mp3", "Jolene.mp3"}) {
      WriteFile(fixture_->StagingFolder() / name, std::string(30'000'000, 'm'));
    }
    test::TempFolder received;
    const test::FtpServer server({.receiveFolder = received.path(), .readLimit = 6'000'000});
    // One connection: the files go one after the other, so each shows in flight on its own.
    setenv("TUNELIFT_FTP_CONNECTIONS", "1", 1);
    LauncherWatcher launcher;
    SendTo(server.ConnectTo(kFtpHost));
    QStringList tooltips;
    for (int i = 0; i < 1200 && desktop_.Notifications().size() == seen_; ++i) {
      if (tooltips.isEmpty() || tooltips.back() != SendingIcon()->toolTip()) {
        tooltips.append(SendingIcon()->toolTip());
      }
      QTest::qWait(50);
    }
    // Some tooltip of each file shows it part-way, neither at 0 % nor at 100 %.
    const auto partWay = [&](const QString& file) {
      const QRegularExpression tooltip(QStringLiteral("^Sending ") + file +
                                       QStringLiteral(", (\\d+) % \\(\\d+ of 30 MB\\)$"));
      return std::ranges::any_of(tooltips, [&](const QString& text) {
        const int percent = tooltip.match(text).captured(1).toInt();
        return percent > 0 && percent < 100;
      });
    };
    QVERIFY2(partWay(QStringLiteral("1 of 2: Blue Monday\\.mp3")), qPrintable(tooltips.join('\n')));
    QVERIFY2(partWay(QStringLiteral("2 of 2: Jolene\\.mp3")), qPrintable(tooltips.join('\n')));
    QTRY_COMPARE_WITH_TIMEOUT(desktop_.Notifications().size(), seen_ + 1, 30000);
    QCOMPARE(desktop_.Notifications().back().summary, std::string("The music went"));

    // The dock heard the progress grow while the send ran, then saw it go.
    QTRY_VERIFY(!launcher.updates().empty() &&
                !launcher.updates().back().properties.value("progress-visible").toBool());
    std::vector<double> shown;
    for (const LauncherWatcher::Update& update : launcher.updates()) {
      QCOMPARE(update.appUri, QStringLiteral("application://tunelift.desktop"));
      if (update.properties.value("progress-visible").toBool()) {
        shown.push_back(update.properties.value("progress").toDouble());
      }
    }
    QVERIFY2(std::ranges::count_if(shown, [](double done) { return done > 0 && done < 1; }) >= 2,
             "the launcher saw no progress between the start and the end");
    QVERIFY(std::ranges::is_sorted(shown));
  }

  void theMenuShowsTheTranscriptInTheDesktopsViewerAndStopsTheSend() {
    const QTemporaryDir desktopFiles;
    const std::string opened = UseRecordingViewer(desktopFiles.path().toStdString());
    const test::LoopbackPort silent(test::LoopbackPort::Behaviour::Silent);
    SendTo(std::string(kFtpHost) + ":21:127.0.0.1:" + std::to_string(silent.port()));
    QMenu* menu = SendingIcon()->contextMenu();
    QVERIFY(menu != nullptr);
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions()[1]->text(), QStringLiteral("Show the transcript"));
    menu->actions()[1]->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(fs::exists(opened), 10000);
    QCOMPARE(ReadFile(opened), (fixture_->ProgramFolder() / "sendfiles-1.log").string());

    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Stop sending"));
    menu->actions()[0]->trigger();
    QVERIFY(!SendingIcon()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(desktop_.Notifications().size(), seen_ + 1, 10000);
    QCOMPARE(desktop_.Notifications().back().summary, std::string("The send was stopped"));
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
  }

  void aNoticeReachesAServiceThatReadsMarkupEscaped() {
    ScriptedDialogs dialogs;
    {
      DesktopNotices notices(dialogs);
      notices.Tell(
          {.summary = "Rock & Roll", .body = "<Rock & Roll>.mp3\nwas refused", .failed = true});
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
    // A quick client may already be on its first file when the window first looks.
    QVERIFY2(icon->toolTip().startsWith(QStringLiteral("Sending ")), qPrintable(icon->toolTip()));
  }

  // Makes a viewer of the test's own the desktop's viewer for text files, through the
  // freedesktop.org associations that xdg-open follows; returns the file in which the viewer
  // writes the path it was asked to open.
  static std::string UseRecordingViewer(const std::string& folder) {
    const fs::path viewer = WriteFile(fs::path(folder) / "viewer.sh",
                                      "#!/bin/sh\nprintf '%s' \"$1\" >\"$0.part\"\n"
                                      "mv \"$0.part\" \"$0.opened\"\n");
    fs::permissions(viewer, fs::perms::owner_all);
    fs::create_directories(fs::path(folder) / "data" / "applications");
    fs::create_directories(fs::path(folder) / "config");
    WriteFile(fs::path(folder) / "data" / "applications" / "tunelift-test-viewer.desktop",
              "[Desktop Entry]\nType=Application\nName=Test viewer\nExec=" + viewer.string() +
                  " %f\nMimeType=text/plain;text/x-log;\n");
    WriteFile(fs::path(folder) / "config" / "mimeapps.list",
              "[Default Applications]\ntext/plain=tunelift-test-viewer.desktop\n"
              "text/x-log=tunelift-test-viewer.desktop\n");
    setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    // No desktop's own opener: xdg-open follows the associations itself.
    unsetenv("XDG_CURRENT_DESKTOP");
    unsetenv("DESKTOP_SESSION");
    return viewer.string() + ".opened";
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
