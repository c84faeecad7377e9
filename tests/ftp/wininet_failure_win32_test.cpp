// How a failed WinINet call reads: where the session stands, and a sentence a user knows.
#include "ftp/wininet_failure.h"

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;
using Step = FailedCall::Step;

FailedCall Call(Step step, unsigned long error, std::vector<std::string> answer = {}) {
  return {.step = step,
          .error = error,
          .answer = std::move(answer),
          .what = "Cannot send b.mp3",
          .host = "music.example.net",
          .port = 2121,
          .seconds = 30};
}

TEST(FtpWinInetFailure, SaysWhatHappenedInWordsAndWhereTheSessionStands) {
  struct Case {
    FailedCall call;
    Stage stage;
    std::string description;
  };
  const Case cases[] = {
      {Call(Step::Connect, ERROR_INTERNET_NAME_NOT_RESOLVED), Stage::Connect,
       "The server music.example.net could not be found."},
      {Call(Step::Connect, ERROR_INTERNET_CANNOT_CONNECT), Stage::Connect,
       "Nothing answered on music.example.net port 2121 (connection refused)."},
      {Call(Step::Connect, ERROR_INTERNET_TIMEOUT), Stage::Connect,
       "music.example.net port 2121 did not answer within 30 seconds."},
      {Call(Step::Transfer, WSAETIMEDOUT), Stage::Dropped,
       "music.example.net port 2121 did not answer within 30 seconds."},
      {Call(Step::Command, ERROR_INTERNET_TIMEOUT), Stage::Dropped,
       "music.example.net port 2121 did not answer within 30 seconds."},
      // Wine's WinINet, when the server hangs up during the login.
      {Call(Step::Connect, ERROR_FTP_TRANSFER_IN_PROGRESS), Stage::Dropped,
       "The connection dropped."},
      {Call(Step::Command, ERROR_FTP_DROPPED), Stage::Dropped, "The connection dropped."},
      {Call(Step::Command, ERROR_INTERNET_CONNECTION_RESET), Stage::Dropped,
       "The connection dropped."},
      {Call(Step::Transfer, ERROR_INTERNET_CONNECTION_ABORTED), Stage::Dropped,
       "The connection dropped."},
      {Call(Step::Transfer, WSAECONNRESET), Stage::Dropped, "The connection dropped."},
      {Call(Step::Command, ERROR_INTERNET_EXTENDED_ERROR), Stage::Dropped,
       "The connection dropped."},
  };
  for (const Case& c : cases) {
    const TransportError error = Explain(c.call);
    EXPECT_EQ(error.stage(), c.stage) << c.call.error;
    EXPECT_EQ(error.what(), c.description) << c.call.error;
    EXPECT_EQ(error.reply().code, 0) << c.call.error;
  }
}

TEST(FtpWinInetFailure, KeepsTheServersReplyWhereItAnswered) {
  struct Case {
    FailedCall call;
    Stage stage;
    std::string description;
    int code;
    std::string text;
  };
  const Case cases[] = {
      {Call(Step::Connect, ERROR_INTERNET_LOGIN_FAILURE, {"530 Authentication failed."}),
       Stage::Login, "Cannot log in to music.example.net: 530 Authentication failed.", 530,
       "Authentication failed."},
      {Call(Step::Connect, ERROR_INTERNET_EXTENDED_ERROR, {"421 Too many connections."}),
       Stage::Dropped, "The connection dropped. The server said: 421 Too many connections.", 421,
       "Too many connections."},
      {Call(Step::Command, ERROR_INTERNET_EXTENDED_ERROR, {"550 Refused by the test server."}),
       Stage::Command, "Cannot send b.mp3: 550 Refused by the test server.", 550,
       "Refused by the test server."},
      {Call(Step::Transfer, WSAECONNRESET, {"426 Connection closed; transfer aborted."}),
       Stage::Dropped,
       "The connection dropped. The server said: 426 Connection closed; transfer aborted.", 426,
       "Connection closed; transfer aborted."},
      {Call(Step::Transfer, ERROR_FTP_DROPPED, {"552 Quota exceeded."}), Stage::Command,
       "Cannot send b.mp3: 552 Quota exceeded.", 552, "Quota exceeded."},
  };
  for (const Case& c : cases) {
    const TransportError error = Explain(c.call);
    EXPECT_EQ(error.stage(), c.stage) << c.description;
    EXPECT_EQ(error.what(), c.description);
    EXPECT_EQ(error.reply().code, c.code) << c.description;
    EXPECT_EQ(error.reply().text, c.text) << c.description;
    EXPECT_EQ(error.code(), static_cast<int>(c.call.error)) << c.description;
  }
}

TEST(FtpWinInetFailure, NamesADropWithoutAnAnswerByWinINetsNumberForIt) {
  // Wine's WinINet reports a reply that never came as an "extended error", which it is not.
  EXPECT_EQ(Explain(Call(Step::Command, ERROR_INTERNET_EXTENDED_ERROR)).code(),
            static_cast<int>(ERROR_FTP_DROPPED));
}

TEST(FtpWinInetFailure, GivesTheSystemsWordsForAnErrorWithoutASentenceOfItsOwn) {
  const TransportError error = Explain(Call(Step::Command, ERROR_ACCESS_DENIED));
  EXPECT_EQ(error.stage(), Stage::Command);
  EXPECT_EQ(error.what(), "Cannot send b.mp3: " + WinInetWords(ERROR_ACCESS_DENIED));
  EXPECT_NE(WinInetWords(ERROR_ACCESS_DENIED).find_first_of("abcdefghijklmnopqrstuvwxyz"),
            std::string::npos);

  const TransportError atConnect = Explain(Call(Step::Connect, ERROR_ACCESS_DENIED));
  EXPECT_EQ(atConnect.stage(), Stage::Connect);
  EXPECT_EQ(atConnect.what(),
            "Cannot connect to music.example.net port 2121: " + WinInetWords(ERROR_ACCESS_DENIED));

  const TransportError atLogin = Explain(Call(Step::Connect, ERROR_INTERNET_LOGIN_FAILURE));
  EXPECT_EQ(atLogin.stage(), Stage::Login);
  EXPECT_EQ(atLogin.what(),
            "Cannot log in to music.example.net: " + WinInetWords(ERROR_INTERNET_LOGIN_FAILURE));
}

}  // namespace
}  // namespace tunelift::ftp
