// Reading what a send came to from the FTP client's exit status and transcript. The
// transcripts are the client's own, as it wrote them for each case.

#include "core/upload_outcome.h"

#include <gtest/gtest.h>

namespace tunelift::testing {
namespace {

constexpr const char* kAllSent =
    "ftp> open tunelift.example.net\n"
    "Connected to tunelift.example.net.\n"
    "220 pyftpdlib 1.5.7 ready.\n"
    "ftp> mput temp\\*.mp3\n"
    "226 Transfer complete.\n"
    "ftp: 4 bytes sent in 0.02 Seconds 0.24 Kbytes/sec.\n"
    "226 Transfer complete.\n"
    "ftp: 3000000 bytes sent in 1.50 Seconds 2000.00 Kbytes/sec.\n"
    "ftp> bye\n"
    "221 Goodbye.\n";

constexpr const char* kHostUnknown =
    "ftp> open tunelift.example.net\n"
    "ftp: Could not resolve host: tunelift.example.net (error 6)\n"
    "ftp> binary\n"
    "ftp: Not connected.\n"
    "ftp> mput temp\\*.mp3\n"
    "ftp: Not connected.\n"
    "ftp> bye\n";

constexpr const char* kLoginRefused =
    "331 Username ok, send password.\r\n"
    "530 Authentication failed.\r\n"
    "ftp: Access denied: 530 (error 67)\r\n"
    "Login failed.\r\n"
    "ftp> mput temp\\*.mp3\r\n"
    "ftp: Not connected.\r\n";

constexpr const char* kOneFileRefused =
    "ftp: 4 bytes sent in 0.02 Seconds 0.24 Kbytes/sec.\n"
    "553 Not enough space.\n"
    "ftp: Upload refused: 553 (error 25)\n"
    "ftp: 7 bytes sent in 0.01 Seconds 0.70 Kbytes/sec.\n";

TEST(UploadOutcome, CountsTheFilesSentWhenAllWent) {
  const UploadOutcome outcome = ReadUploadOutcome(0, kAllSent);
  EXPECT_TRUE(outcome.allSent);
  EXPECT_EQ(outcome.filesSent, 2);
  EXPECT_EQ(outcome.reason, "");
}

TEST(UploadOutcome, GivesTheFirstComplaintAsTheReasonNotWhatFollowedFromIt) {
  struct Case {
    const char* transcript;
    const char* reason;
    int filesSent;
  };
  for (const Case& c : {Case{kHostUnknown, "Could not resolve host: tunelift.example.net (error 6)", 0},
                        Case{kLoginRefused, "Access denied: 530 (error 67)", 0},
                        Case{kOneFileRefused, "Upload refused: 553 (error 25)", 2}}) {
    const UploadOutcome outcome = ReadUploadOutcome(1, c.transcript);
    EXPECT_FALSE(outcome.allSent) << c.transcript;
    EXPECT_EQ(outcome.reason, c.reason);
    EXPECT_EQ(outcome.filesSent, c.filesSent) << c.transcript;
  }
}

TEST(UploadOutcome, TrustsTheExitStatusOverTheTranscript) {
  EXPECT_FALSE(ReadUploadOutcome(137, kAllSent).allSent);
  EXPECT_EQ(ReadUploadOutcome(137, kAllSent).exitStatus, 137);
  EXPECT_EQ(ReadUploadOutcome(2, "usage: ftp [-s:file] [host]\n").reason, "");
}

TEST(UploadOutcome, KnowsNoCountWithoutATranscript) {
  const UploadOutcome outcome = ReadUploadOutcome(0, std::nullopt);
  EXPECT_TRUE(outcome.allSent);
  EXPECT_FALSE(outcome.filesSent.has_value());
}

TEST(UploadOutcome, ReadsATranscriptFileOrSaysItCannot) {
  EXPECT_FALSE(ReadTranscript("/no/such/folder/sendfiles-1.log").has_value());
  EXPECT_EQ(ReadTranscript("/dev/null"), std::optional<std::string>(""));
}

}  // namespace
}  // namespace tunelift::testing
