// The whole tool set up for a server by tunelift.ini alone: the real window (offscreen,
// scripted dialog answers) and the real ftp.exe beside it read the file, with nothing else
// pointing them anywhere (no TUNELIFT_FTP_CONNECT_TO), and a real FTP server on loopback.

#include <QTest>
#include <cstdlib>
#include <memory>

#include "tests/support/ftp_server.h"
#include "window_fixture.h"

namespace tunelift::testing {

class SettingsFileTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    unsetenv("TUNELIFT_FTP_CONNECT_TO");
    server_ = std::make_unique<test::FtpServer>(received_.path());
    fixture_ = std::make_unique<WindowFixture>();
    fs::copy_file(TUNELIFT_FTP_CLIENT, fixture_->ProgramFolder() / "ftp.exe");
  }

  void cleanup() {
    fixture_.reset();
    server_.reset();
    for (const auto& entry : fs::directory_iterator(received_.path())) {
      fs::remove(entry.path());
    }
  }

  void aStagedSongGoesToTheServerTheFileNames() {
    WriteFile(fixture_->ProgramFolder() / "tunelift.ini",
              "; the test server\r\n[server]\r\nhost = 127.0.0.1\r\nport = " +
                  std::to_string(server_->port()) + "\r\nuser = " + std::string(test::kFtpUser) +
                  "\r\npassword = " + std::string(test::kFtpPassword) + "\r\n");
    QVERIFY(fixture_->LoadAndShow());
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
    std::string music;
    for (int i = 0; i < 4096; ++i) {
      music.push_back(static_cast<char>(i * 7));
    }
    music += "\r\n\n\r";
    const fs::path song = WriteFile(fixture_->MusicFolder() / "Night Shift.mp3", music);
    fixture_->dialogs().AnswerOpenWith(song.string());
    fixture_->Click("Browse");

    fixture_->Click("Send");
    QTRY_VERIFY_WITH_TIMEOUT(server_->CountOf("QUIT") == 1, 30000);
    QCOMPARE(test::ReadFile(received_.path() / "Night Shift.mp3"), music);
    QCOMPARE(server_->CountOf("USER"), std::size_t(1));
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), std::size_t(1), 30000);
    QVERIFY2(boxes[0].prompt.starts_with("The music went\r\n1 MP3 file was sent to 127.0.0.1 and "
                                         "verified."),
             boxes[0].prompt.c_str());
  }

  void aMalformedFileIsToldAndNothingIsSent() {
    WriteFile(fixture_->ProgramFolder() / "tunelift.ini",
              "[server]\r\nhost = 127.0.0.1:" + std::to_string(server_->port()) + "\r\n");
    QVERIFY(fixture_->LoadAndShow());
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QCOMPARE(boxes.size(), std::size_t(1));
    QVERIFY2(boxes[0].prompt.ends_with("\r\ntunelift.ini, line 2: host must be a plain host name "
                                       "(letters, digits, \".\" and \"-\"), got '127.0.0.1:" +
                                       std::to_string(server_->port()) + "'."),
             boxes[0].prompt.c_str());
    QVERIFY(!fs::exists(fixture_->UploadScript()));
    QVERIFY(fixture_->window().isVisible());

    fixture_->dialogs().AnswerOpenWith(WriteFile(fixture_->MusicFolder() / "a.mp3").string());
    fixture_->Click("Browse");
    fixture_->Click("Send");
    QCOMPARE(boxes.size(), std::size_t(2));
    QCOMPARE(boxes[1].prompt, boxes[0].prompt);
    QTest::qWait(1000);  // a client would have connected by now
    QCOMPARE(server_->CountOf("CONNECT"), std::size_t(0));
    QVERIFY(!fs::exists(fixture_->ProgramFolder() / "sendfiles-1.log"));
  }

private:
  test::TempFolder received_;
  std::unique_ptr<test::FtpServer> server_;
  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::SettingsFileTest)
#include "settings_file_test.moc"
