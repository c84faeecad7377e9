// A user's whole session: pick files in the window, send them with the real client to a
// real FTP server on loopback, and finish.

#include <QTest>
#include <cstdlib>
#include <memory>

#include "core/build_config.h"
#include "tests/support/ftp_server.h"
#include "window_fixture.h"

namespace tunelift::testing {
namespace {

// Every byte value, and the line-end runs that an ASCII transfer would rewrite.
std::string AwkwardMusic() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) {
    bytes.push_back(static_cast<char>(i));
  }
  return bytes + "\r\n\r\n\n\n\r\r\n\r" + bytes;
}

bool HasFile(const fs::path& path, std::size_t size) {
  std::error_code ec;
  return fs::file_size(path, ec) == size && !ec;
}

}  // namespace

class WholeToolTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    server_ = std::make_unique<test::FtpServer>(received_.path());
    // The script names the built-in host; its connection is sent to the loopback server.
    const std::string connectTo = server_->ConnectTo(kFtpHost);
    setenv("TUNELIFT_FTP_CONNECT_TO", connectTo.c_str(), 1);
    fixture_ = std::make_unique<WindowFixture>();
    fs::copy_file(TUNELIFT_FTP_CLIENT, fixture_->ProgramFolder() / "ftp.exe");
    QVERIFY(fixture_->LoadAndShow());
  }

  void cleanup() {
    fixture_.reset();
    server_.reset();
    unsetenv("TUNELIFT_FTP_CONNECT_TO");
  }

  void stagedFilesArriveIntactAndFinishCleansUp() {
    const std::string music = AwkwardMusic();
    const fs::path music1 = WriteFile(fixture_->MusicFolder() / "Blue Monday.mp3", music);
    const fs::path music2 = WriteFile(fixture_->MusicFolder() / "ÉTÉ INDIEN.MP3", "loud");
    const fs::path voice = WriteFile(fixture_->MusicFolder() / "voice.wav", "not music");
    for (const fs::path& pick : {music1, music2, voice}) {
      fixture_->dialogs().AnswerOpenWith(pick.string());
      fixture_->Click("Browse");
    }
    QCOMPARE(fixture_->Listed(), QStringList({"Blue Monday.mp3", "ÉTÉ INDIEN.MP3"}));

    fixture_->Click("Send");
    const fs::path arrived1 = received_.path() / "Blue Monday.mp3";
    const fs::path arrived2 = received_.path() / "ÉTÉ INDIEN.MP3";
    // The two files go over two connections at once, each logged in and closed on its own.
    QTRY_VERIFY_WITH_TIMEOUT(server_->CountOf("QUIT") == 2, 30000);
    QVERIFY(HasFile(arrived1, music.size()));
    QCOMPARE(test::ReadFile(arrived1), music);
    QCOMPARE(test::ReadFile(arrived2), std::string("loud"));
    QVERIFY(!fs::exists(received_.path() / "voice.wav"));
    QCOMPARE(server_->CountOf("USER"), std::size_t(2));
    QCOMPARE(server_->CountOf("STOR"), std::size_t(2));
    // Without a desktop notification service, the end of the send is told in a box.
    const auto& boxes = fixture_->dialogs().msgBoxCalls();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), std::size_t(1), 30000);
    // Told from the client's report: both files verified by their size on the server.
    QCOMPARE(boxes[0].prompt, "The music went\r\n2 MP3 files were sent to " +
                                  std::string(kFtpHost) +
                                  " and verified.\r\nThe connection was not encrypted. The "
                                  "server's identity was not checked.");

    fixture_->Click("Finish");
    QVERIFY(!fs::exists(fixture_->StagingFolder()));
    QVERIFY(!fs::exists(fixture_->UploadScript()));
    QVERIFY(!fs::exists(fixture_->ProgramFolder() / "sendfiles-1.log"));
    QVERIFY(!fs::exists(fixture_->ProgramFolder() / "sendfiles-1.report"));
    QVERIFY(!fixture_->window().isVisible());
  }

private:
  test::TempFolder received_;
  std::unique_ptr<test::FtpServer> server_;
  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::WholeToolTest)
#include "whole_tool_test.moc"
