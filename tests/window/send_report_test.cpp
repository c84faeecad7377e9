// The words the user reads about a send, whichever window shows them.

#include "window/send_report.h"

#include <gtest/gtest.h>

#include "window/dialogs.h"

namespace tunelift::testing {
namespace {

constexpr std::string_view kHost = "music.example.net";

UploadOutcome Outcome(int exitStatus, std::optional<int> filesSent, std::string reason = {}) {
  return {.exitStatus = exitStatus,
          .allSent = exitStatus == 0,
          .filesSent = filesSent,
          .reason = std::move(reason)};
}

TEST(SendNotice, SaysHowManyMp3FilesWentToWhichServer) {
  EXPECT_EQ(NoticeFor(Outcome(0, 3), kHost).body, "3 MP3 files were sent to music.example.net.");
  EXPECT_EQ(NoticeFor(Outcome(0, 1), kHost).body, "1 MP3 file was sent to music.example.net.");
  EXPECT_EQ(NoticeFor(Outcome(0, std::nullopt), kHost).body,
            "The music was sent to music.example.net.");
  EXPECT_EQ(NoticeFor(Outcome(0, 3), kHost).summary, "The music went");
  EXPECT_FALSE(NoticeFor(Outcome(0, 3), kHost).failed);
}

TEST(SendNotice, GivesTheClientsReasonAndThatTheFilesAreStillStaged) {
  const SendNotice notice =
      NoticeFor(Outcome(1, 0, "Could not resolve host: music.example.net (error 6)"), kHost);
  EXPECT_TRUE(notice.failed);
  EXPECT_EQ(notice.summary, "The music did not go");
  EXPECT_EQ(notice.body,
            "The FTP client said: Could not resolve host: music.example.net (error 6)\n"
            "The staged files are still there; press \"Send the Music!\" to try again.");
}

TEST(SendNotice, OnFailureStillCountsWhatWentAndNamesASilentEnd) {
  EXPECT_EQ(NoticeFor(Outcome(1, 2, "Upload refused: 553 (error 25)"), kHost).body,
            "The FTP client said: Upload refused: 553 (error 25)\n"
            "2 MP3 files were sent to music.example.net.\n"
            "The staged files are still there; press \"Send the Music!\" to try again.");
  const std::string killed = NoticeFor(Outcome(137, 0), kHost).body;
  EXPECT_TRUE(killed.starts_with("The FTP client ended with exit status 137 and gave no reason.\n"
                                 "The staged files are still there;"))
      << killed;
  const std::string lost = NoticeFor(Outcome(-1, std::nullopt), kHost).body;
  EXPECT_TRUE(lost.starts_with("The FTP client ended, and how it ended could not be learned.\n"))
      << lost;
}

TEST(SendNotice, BecomesAMessageBoxWithTheHandlersLineEnds) {
  const SendNotice went = NoticeFor(Outcome(0, 2), kHost);
  EXPECT_EQ(MessageBoxText(went), "The music went\r\n2 MP3 files were sent to music.example.net.");
  EXPECT_EQ(MessageBoxStyle(went), msgbox::kOkOnly | msgbox::kIconInformation);
  const SendNotice failed = NoticeFor(Outcome(1, 0, "Not connected."), kHost);
  EXPECT_EQ(MessageBoxText(failed),
            "The music did not go\r\nThe FTP client said: Not connected.\r\n"
            "The staged files are still there; press \"Send the Music!\" to try again.");
  EXPECT_EQ(MessageBoxStyle(failed), msgbox::kOkOnly | msgbox::kIconExclamation);
}

}  // namespace
}  // namespace tunelift::testing
