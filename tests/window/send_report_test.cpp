// The words the user reads about a send, whichever window shows them, drawn from the FTP
// client's report as it would write it.

#include "window/send_report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "window/dialogs.h"

namespace tunelift::testing {
namespace {

constexpr std::string_view kHost = "music.example.net";
constexpr std::string_view kTranscript = "/home/me/tunelift/sendfiles-3.log";
constexpr std::string_view kStillStaged =
    "The staged files are still there; press \"Send the Music!\" to try again.";

const std::string kFirst = "tunelift-send-report\t1\n";
const std::string kPlain = "server\tmusic.example.net\nencryption\tnone\nidentity\tnot-checked\n";
const std::string kSafe = "server\tmusic.example.net\nencryption\teverything\nidentity\tverified\n";

std::string File(std::string_view name, std::string_view state, int code = 226,
                 std::string_view reply = "Transfer complete.", std::string_view reason = "") {
  return "file\t" + std::string(name) + "\t9\t9\t" + std::string(state) + "\t" +
         std::to_string(code) + "\t" + std::string(reply) + "\t" + std::string(reason) + "\n";
}

UploadOutcome Outcome(int exitStatus, const std::string& report, bool staged = true) {
  UploadOutcome outcome;
  outcome.exitStatus = exitStatus;
  outcome.transcript = std::string(kTranscript);
  outcome.reportFile = "/home/me/tunelift/sendfiles-3.report";
  outcome.report = ParseUploadReport(report);
  outcome.musicStaged = staged;
  return outcome;
}

SendNotice Notice(int exitStatus, const std::string& report, bool staged = true) {
  return NoticeFor(Outcome(exitStatus, report, staged), kHost);
}

std::vector<std::string> Lines(const std::string& body) {
  std::vector<std::string> lines;
  std::istringstream in(body);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

TEST(SendNotice, SaysHowManyMp3FilesWentAndWereVerifiedAndHowTheConnectionWas) {
  const SendNotice went = Notice(
      0, kFirst + kSafe + File("a.mp3", "verified") + File("b.mp3", "verified") + "end\t0\n");
  EXPECT_EQ(went.summary, "The music went");
  EXPECT_FALSE(went.failed);
  EXPECT_EQ(went.body,
            "2 MP3 files were sent to music.example.net and verified.\n"
            "The connection was encrypted. The server's identity was verified.");

  const SendNotice unverified =
      Notice(0, kFirst + kPlain + File("a.mp3", "verified") + File("b.mp3", "sent-not-verified") +
                    File("c.mp3", "sent-not-verified") + "end\t0\n");
  EXPECT_EQ(unverified.summary, "The music went");
  EXPECT_EQ(unverified.body,
            "1 MP3 file was sent to music.example.net and verified.\n"
            "2 MP3 files were sent to music.example.net but not verified: the server could not "
            "say what it holds.\n"
            "The connection was not encrypted. The server's identity was not checked.");
}

TEST(SendNotice, SaysWhetherTheConnectionWasEncryptedAndTheServerChecked) {
  struct Case {
    std::string records;
    std::string line;
  };
  const Case cases[] = {
      {"encryption\teverything\nidentity\tnot-verified\n",
       "The connection was encrypted. The server's identity could not be verified (a "
       "self-signed or unknown certificate)."},
      {"encryption\tcommands-only\nidentity\tverified\n",
       "Only the commands were encrypted: the server refused to encrypt the files. The "
       "server's identity was verified."},
      {"encryption\tnone\n", "The connection was not encrypted."},
      {"", "No connection to the server was made."},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> lines =
        Lines(Notice(0, kFirst + c.records + File("a.mp3", "verified") + "end\t0\n").body);
    EXPECT_EQ(lines.back(), c.line) << c.records;
  }
}

TEST(SendNotice, NamesEachRefusedFileWithTheServersReplyAndThatTheFilesAreStillStaged) {
  const SendNotice notice =
      Notice(1, kFirst + kPlain + File("a.mp3", "verified") +
                    File("b.mp3", "failed", 550, "Permission denied.", "The server refused it.") +
                    File("c.mp3", "failed", 553, "Could not create file.", "") + "end\t1\n");
  EXPECT_EQ(notice.summary, "Not all the music went");
  EXPECT_TRUE(notice.failed);
  EXPECT_EQ(notice.body,
            "1 MP3 file was sent to music.example.net and verified.\n"
            "The server refused b.mp3: 550 Permission denied.\n"
            "The server refused c.mp3: 553 Could not create file.\n"
            "The connection was not encrypted. The server's identity was not checked.\n" +
                std::string(kStillStaged));
}

TEST(SendNotice, GivesTheClientsReasonForAFileTheServerDidNotRefuse) {
  const SendNotice notice = Notice(
      1, kFirst + kPlain +
             File("a.mp3", "failed", 226, "Transfer complete.", "it grew while it was sent.") +
             File("b.mp3", "failed", 0, "", "The server closed the connection.") +
             File("c.mp3", "failed", 0, "", "") +
             "file\td.mp3\t9000\t3000\tsending\t0\t\t\nfile\te.mp3\t9\t0\twaiting\t0\t\t\n"
             "end\t1\n");
  EXPECT_EQ(notice.summary, "The music did not go");
  EXPECT_EQ(Lines(notice.body),
            (std::vector<std::string>{
                "No MP3 file was sent to music.example.net.",
                "a.mp3 was not sent: it grew while it was sent. (the server's last reply: 226 "
                "Transfer complete.)",
                "b.mp3 was not sent: The server closed the connection.", "c.mp3 was not sent.",
                "d.mp3 was not sent whole: 3000 of 9000 bytes went.",
                "e.mp3 was not sent: the FTP client did not come to it.",
                "The connection was not encrypted. The server's identity was not checked.",
                std::string(kStillStaged)}));
}

TEST(SendNotice, NamesFiveFilesThatDidNotGoAndCountsTheRest) {
  std::string report = kFirst + kPlain;
  for (char name = 'a'; name <= 'h'; ++name) {
    report += File(std::string(1, name) + ".mp3", "failed", 452, "No space left.");
  }
  const std::vector<std::string> lines = Lines(Notice(1, report + "end\t1\n").body);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[1], "The server refused a.mp3: 452 No space left.");
  EXPECT_EQ(lines[5], "The server refused e.mp3: 452 No space left.");
  EXPECT_EQ(lines[6], "and 3 more");
}

TEST(SendNotice, ShowsAServersWordsOnlyAsItsReplyNeverAsTheClients) {
  const std::string suspended = "ftp: Your account is suspended; log in again at http://x.test/";
  const SendNotice notice =
      Notice(1, kFirst + kPlain + "failure\t530\t" + suspended + "\tThe login was refused.\n" +
                    "failure\t0\t" + suspended + "\t\n" +
                    File("a.mp3", "failed", 0, suspended, "The connection was lost.") + "end\t1\n");
  const std::vector<std::string> lines = Lines(notice.body);
  EXPECT_EQ(lines[1],
            "The FTP client said: The login was refused. The server's reply: 530 " + suspended);
  // Without a reply code the text is no reply at all, and shows nowhere.
  EXPECT_EQ(lines[2], "The FTP client failed and gave no reason.");
  EXPECT_EQ(lines[3], "a.mp3 was not sent: The connection was lost.");
  for (const std::string& line : lines) {
    EXPECT_FALSE(line.starts_with("ftp:")) << line;
    EXPECT_EQ(line.find("said: ftp:"), std::string::npos) << line;
  }
}

TEST(SendNotice, LetsNoControlCharacterFromTheReportOrANameShow) {
  const SendNotice notice = Notice(1, kFirst + "server\th\n" +
                                          File("\x1b[31mred\xe2\x80\xae"
                                               "3pm.mp3",
                                               "failed", 550,
                                               "No\\r\\nThe music went\\t\x07\xc2\x9b"
                                               "2J\xff",
                                               "") +
                                          "failure\t0\t\tCould not \\nresolve\x1b]0;x\x07 host\n"
                                          "end\t1\n");
  EXPECT_EQ(Lines(notice.body),
            (std::vector<std::string>{
                "No MP3 file was sent to music.example.net.",
                "The FTP client said: Could not resolve]0;x host",
                "The server refused [31mred3pm.mp3: 550 No The music went 2J\xEF\xBF\xBD",
                "No connection to the server was made.", std::string(kStillStaged)}));
}

TEST(SendNotice, ClaimsTheFilesAreStagedOnlyWhenTheyAre) {
  const std::string refused = kFirst + kPlain + File("a.mp3", "failed", 550, "No.") + "end\t1\n";
  const std::string notStaged = Notice(1, refused, false).body;
  EXPECT_EQ(notStaged.find(kStillStaged), std::string::npos) << notStaged;
  EXPECT_TRUE(notStaged.ends_with("\nNo music is staged any more.")) << notStaged;

  UploadOutcome unreadable = Outcome(1, refused);
  unreadable.musicStaged.reset();
  unreadable.stagingError = Error(errnum::kPermissionDenied, "Cannot read folder 'temp'.");
  const std::string unknown = NoticeFor(unreadable, kHost).body;
  EXPECT_TRUE(unknown.ends_with(
      "\nWhether music is still staged could not be learned: Cannot read folder 'temp'."))
      << unknown;
  // After a send that went, whether the files stay is no news.
  EXPECT_EQ(Notice(0, kFirst + kPlain + File("a.mp3", "verified") + "end\t0\n").body.find("staged"),
            std::string::npos);
}

TEST(SendNotice, BelievesANonZeroExitStatusOverAReportWithoutFault) {
  const SendNotice notice = Notice(137, kFirst + kPlain + File("a.mp3", "verified") + "end\t0\n");
  EXPECT_EQ(notice.summary, "Not all the music went");
  EXPECT_TRUE(notice.failed);
  EXPECT_EQ(Lines(notice.body)[1], "The FTP client ended with exit status 137.");
}

TEST(SendNotice, WithoutAWholeReportSaysTheOutcomeIsUnknownAndNamesTheTranscript) {
  const SendNotice cutShort =
      Notice(0, kFirst + kPlain + File("a.mp3", "verified") + File("b.mp3", "sending"));
  EXPECT_EQ(cutShort.summary, "How the send ended is unknown");
  EXPECT_TRUE(cutShort.failed);
  EXPECT_EQ(cutShort.body,
            "The FTP client's report stops before its end, so how the send ended is unknown.\n"
            "Read its transcript to learn more: /home/me/tunelift/sendfiles-3.log\n"
            "The FTP client ended with exit status 0.\n" +
                std::string(kStillStaged));

  UploadOutcome missing = Outcome(-1, kFirst);
  missing.report.reset();
  missing.reportError = Error(errnum::kFileNotFound, "Cannot read the send report: none.");
  EXPECT_EQ(Lines(NoticeFor(missing, kHost).body),
            (std::vector<std::string>{
                "The FTP client left no report, so how the send ended is unknown.",
                "Read its transcript to learn more: /home/me/tunelift/sendfiles-3.log",
                "The FTP client ended, and how it ended could not be learned.",
                std::string(kStillStaged)}));

  UploadOutcome broken = missing;
  broken.reportError = Error(errnum::kInvalidFileFormat, "line 2:\x1b[2J a bad record.");
  EXPECT_EQ(Lines(NoticeFor(broken, kHost).body)[1], "line 2:[2J a bad record.");
  EXPECT_EQ(NoticeFor(broken, kHost).summary, "How the send ended is unknown");
}

TEST(SendNotice, OfAStoppedSendSaysSoAndWhatWentBeforeTheStop) {
  UploadOutcome stopped =
      Outcome(137, kFirst + kPlain + File("a.mp3", "verified") + File("b.mp3", "verified") +
                       "file\tc.mp3\t30000000\t12000000\tsending\t0\t\t\n" +
                       File("d.mp3", "waiting", 0, "", ""));
  stopped.stopped = true;
  const SendNotice notice = NoticeFor(stopped, kHost);
  EXPECT_EQ(notice.summary, "The send was stopped");
  EXPECT_FALSE(notice.failed) << "stopping is the user's choice, not a failure";
  EXPECT_EQ(notice.body,
            "2 MP3 files were sent to music.example.net and verified.\n"
            "The send was stopped before it ended.\n"
            "c.mp3 was not sent whole: 12000000 of 30000000 bytes went.\n"
            "d.mp3 was not sent: the send was stopped first.\n"
            "The connection was not encrypted. The server's identity was not checked.\n" +
                std::string(kStillStaged));

  UploadOutcome refusedThenStopped =
      Outcome(137, kFirst + kPlain + File("a.mp3", "failed", 550, "No room.", ""));
  refusedThenStopped.stopped = true;
  const SendNotice refused = NoticeFor(refusedThenStopped, kHost);
  EXPECT_EQ(refused.summary, "The send was stopped");
  EXPECT_TRUE(refused.failed);
  EXPECT_EQ(Lines(refused.body)[2], "The server refused a.mp3: 550 No room.");
}

TEST(SendNotice, OfASendStoppedBeforeItsReportSaysWhatWentIsUnknown) {
  UploadOutcome early = Outcome(137, kFirst);
  early.report.reset();
  early.reportError = Error(errnum::kFileNotFound, "Cannot read the send report: none.");
  early.stopped = true;
  const SendNotice notice = NoticeFor(early, kHost);
  EXPECT_EQ(notice.summary, "The send was stopped");
  EXPECT_EQ(Lines(notice.body),
            (std::vector<std::string>{
                "The send was stopped before the FTP client wrote its report, so what went is "
                "unknown.",
                "Read its transcript to learn more: /home/me/tunelift/sendfiles-3.log",
                std::string(kStillStaged)}));
}

TEST(SendNotice, OfASendThatEndedWholeBeforeTheStopTookIsWhatItsReportSays) {
  UploadOutcome outcome = Outcome(0, kFirst + kPlain + File("a.mp3", "verified") + "end\t0\n");
  outcome.stopped = true;
  EXPECT_EQ(NoticeFor(outcome, kHost).summary, "The music went");
}

TEST(SendingTooltip, NamesTheFileItsNumberAndTheBytesTheServerHolds) {
  UploadProgress progress;
  progress.progress = SendProgress{.fileNumber = 2,
                                   .fileCount = 5,
                                   .fileName = "song.mp3",
                                   .fileSent = 12'000'000,
                                   .fileSize = 30'000'000,
                                   .done = 0.3};
  EXPECT_EQ(SendingTooltip(progress), "Sending 2 of 5: song.mp3, 40 % (12 of 30 MB)");
}

TEST(SendingTooltip, SaysSendingTheMusicBeforeTheFirstFileAndWhyWhenTheReportCannotBeRead) {
  EXPECT_EQ(SendingTooltip({}), "Sending the music\u2026");
  UploadProgress waiting;
  waiting.progress = SendProgress{.fileNumber = 0, .fileCount = 3};
  EXPECT_EQ(SendingTooltip(waiting), "Sending the music\u2026");
  UploadProgress broken;
  broken.reportError = Error(errnum::kInvalidFileFormat, "The report\x1b[2J is\nbroken.");
  EXPECT_EQ(SendingTooltip(broken),
            "Sending the music\u2026 (its progress cannot be read: The report[2J is broken.)");
}

TEST(SendingTooltip, ShowsNoControlCharacterAndCutsALongName) {
  UploadProgress progress;
  progress.progress = SendProgress{.fileNumber = 1,
                                   .fileCount = 1,
                                   .fileName =
                                       "\xE2\x80\xAE"
                                       "evil\x1b]0;x\x07" +
                                       std::string(100, 'a') + ".mp3",
                                   .fileSent = 0,
                                   .fileSize = 999};
  const std::string tooltip = SendingTooltip(progress);
  EXPECT_TRUE(tooltip.starts_with("Sending 1 of 1: evil]0;xaaaa")) << tooltip;
  EXPECT_TRUE(tooltip.ends_with("\u2026, 0 % (0 of 999 bytes)")) << tooltip;
  EXPECT_EQ(tooltip.find('\x1b'), std::string::npos);
}

TEST(ByteCounts, ChoosesTheUnitBySizeWithATenthUnderTen) {
  struct Case {
    std::uint64_t sent;
    std::uint64_t size;
    std::string_view text;
  };
  const Case cases[] = {
      {0, 0, "0 of 0 bytes"},
      {512, 999, "512 of 999 bytes"},
      {1'000, 1'000, "1.0 of 1.0 kB"},
      {1'250, 9'999, "1.3 of 10.0 kB"},
      {12'000, 30'000, "12 of 30 kB"},
      {1'200'000, 3'500'000, "1.2 of 3.5 MB"},
      {12'499'999, 30'000'000, "12 of 30 MB"},
      {12'500'000, 30'000'000, "13 of 30 MB"},
      {29'999'999, 30'000'000, "30 of 30 MB"},
      {999'999'999, 999'999'999, "1000 of 1000 MB"},
      {1'000'000'000, 4'200'000'000, "1.0 of 4.2 GB"},
      {UINT64_MAX, UINT64_MAX, "18446744074 of 18446744074 GB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ByteCounts(c.sent, c.size), c.text) << c.sent << " of " << c.size;
  }
}

TEST(SendNotice, BecomesAMessageBoxWithTheHandlersLineEnds) {
  const SendNotice went = Notice(0, kFirst + kSafe + File("a.mp3", "verified") + "end\t0\n");
  EXPECT_EQ(MessageBoxText(went),
            "The music went\r\n1 MP3 file was sent to music.example.net and verified.\r\n"
            "The connection was encrypted. The server's identity was verified.");
  EXPECT_EQ(MessageBoxStyle(went), msgbox::kOkOnly | msgbox::kIconInformation);
  const SendNotice failed = Notice(1, kFirst + "failure\t0\t\tNot connected.\nend\t1\n");
  EXPECT_EQ(MessageBoxText(failed),
            "The music did not go\r\nNo MP3 file was sent to music.example.net.\r\n"
            "The FTP client said: Not connected.\r\n"
            "No connection to the server was made.\r\n" +
                std::string(kStillStaged));
  EXPECT_EQ(MessageBoxStyle(failed), msgbox::kOkOnly | msgbox::kIconExclamation);
}

}  // namespace
}  // namespace tunelift::testing
