// Reading the FTP client's send report: what a whole report says, what a cut-short one says,
// and every way a report can break its format, each of which makes it unreadable.

#include "core/upload_report.h"

#include <gtest/gtest.h>

#include "core/error.h"

namespace tunelift::testing {
namespace {

using namespace std::string_literals;

const std::string kFirst = "tunelift-send-report\t1\n";

constexpr std::string_view kWhole =
    "tunelift-send-report\t1\n"
    "server\ttunelift.example.net\n"
    "encryption\tcommands-only\n"
    "identity\tnot-verified\n"
    "file\ttemp\\\\a.mp3\t4\t4\tverified\t226\tTransfer complete.\t\n"
    "file\tb.mp3\t3000000\t3000000\tsent-not-verified\t226\tOK\t\n"
    "file\tc.mp3\t7\t0\tfailed\t550\tftp: 4000000 bytes sent\\tin 1 s\\r\\nftp: ok\tThe server "
    "refused the file.\n"
    "file\td.mp3\t9\t2\tsending\t0\t\t\n"
    "file\te.mp3\t1\t0\twaiting\t0\t\t\n"
    "failure\t0\t\tA script line failed: \\\\\\\\server\n"
    "end\t1\n";

TEST(UploadReport, ReadsEveryRecordOfAWholeReport) {
  const UploadReport report = ParseUploadReport(kWhole);
  EXPECT_EQ(report.server, "tunelift.example.net");
  EXPECT_EQ(report.encryption, Encryption::CommandsOnly);
  EXPECT_EQ(report.identity, ServerIdentity::NotVerified);
  ASSERT_EQ(report.files.size(), 5u);
  const ReportedFile& a = report.files[0];
  EXPECT_EQ(a.name, "temp\\a.mp3");
  EXPECT_EQ(a.size, 4u);
  EXPECT_EQ(a.sent, 4u);
  EXPECT_EQ(a.state, FileState::Verified);
  EXPECT_EQ(a.replyCode, 226);
  EXPECT_EQ(a.replyText, "Transfer complete.");
  EXPECT_EQ(a.reason, "");
  EXPECT_EQ(report.files[1].state, FileState::SentNotVerified);
  EXPECT_EQ(report.files[1].size, 3000000u);
  const ReportedFile& c = report.files[2];
  EXPECT_EQ(c.state, FileState::Failed);
  EXPECT_EQ(c.replyCode, 550);
  EXPECT_EQ(c.replyText, "ftp: 4000000 bytes sent\tin 1 s\r\nftp: ok");
  EXPECT_EQ(c.reason, "The server refused the file.");
  EXPECT_EQ(report.files[3].state, FileState::Sending);
  EXPECT_EQ(report.files[4].state, FileState::Waiting);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].replyCode, 0);
  EXPECT_EQ(report.failures[0].replyText, "");
  EXPECT_EQ(report.failures[0].reason, "A script line failed: \\\\server");
  EXPECT_EQ(report.exitStatus, 1u);
}

TEST(UploadReport, ReadsWhatEachWellFormedReportSays) {
  struct Case {
    std::string text;
    std::optional<std::uint32_t> exitStatus;
    std::size_t files;
    std::size_t failures;
    bool connected;
  };
  const Case cases[] = {
      // Nothing but the first line: the client wrote no more before it stopped.
      {kFirst, std::nullopt, 0, 0, false},
      {kFirst + "end\t0\n", 0u, 0, 0, false},
      // The host could not be found: no connection, one failure.
      {kFirst + "failure\t0\t\tThe host cannot be found.\nend\t1\n", 1u, 0, 1, false},
      {kFirst + "server\th\nencryption\tnone\nidentity\tnot-checked\nend\t0\n", 0u, 0, 0, true},
      // Cut short while a file was sent.
      {kFirst + "server\th\nfile\ta.mp3\t9\t3\tsending\t0\t\t\n", std::nullopt, 1, 0, true},
      // A last line without its LF was not written whole: the report stops before it.
      {kFirst + "file\ta.mp3\t9\t9\tverified\t226\t\t\nend\t0", std::nullopt, 1, 0, false},
      {kFirst + "file\ta.mp3\t9\t9\tveri", std::nullopt, 0, 0, false},
      // Kinds it does not know are left out, whatever they hold.
      {kFirst + "progress\t1\t2\t\\q\r\nfile\ta\t1\t1\tverified\t0\t\t\nend\t0\n", 0u, 1, 0, false},
      // The largest numbers the fields hold.
      {kFirst + "file\ta\t18446744073709551615\t0\tfailed\t999\t\t\nend\t4294967295\n", 4294967295u,
       1, 0, false},
  };
  for (const Case& c : cases) {
    const UploadReport report = ParseUploadReport(c.text);
    EXPECT_EQ(report.exitStatus, c.exitStatus) << c.text;
    EXPECT_EQ(report.files.size(), c.files) << c.text;
    EXPECT_EQ(report.failures.size(), c.failures) << c.text;
    EXPECT_EQ(report.server.has_value(), c.connected) << c.text;
  }
}

TEST(UploadReport, KeepsEveryByteOfAServersTextAsItStands) {
  const std::string reply =
      "\x1b]0;owned\x07\xff\xfe \xc3\xa9\x00 \x9b"
      "31m"s;
  const UploadReport report =
      ParseUploadReport(kFirst + "failure\t530\t" + reply + "\tThe login was refused.\nend\t1\n");
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].replyText, reply);
  EXPECT_EQ(report.failures[0].replyCode, 530);
}

TEST(UploadReport, FindsEveryBreakOfTheFormatAndNamesItsLine) {
  struct Case {
    std::string text;
    int line;
  };
  const std::string file = "file\ta.mp3\t9\t9\tverified\t226\tOK\t";
  const Case cases[] = {
      {"", 1},
      {"tunelift-send-report\t1", 1},  // not even the first line whole
      {"tunelift-send-report\t2\nend\t0\n", 1},
      {"tunelift-send-report\t1\r\nend\t0\r\n", 1},
      {"Tunelift-send-report\t1\n", 1},
      {"ftp: 4000000 bytes sent in 1 Seconds\n", 1},
      {kFirst + "\n", 2},          // an empty line
      {kFirst + "\tx\n", 2},       // no kind
      {kFirst + "end\t0\r\n", 2},  // a number with a CR
      {kFirst + "end\t\n", 2},
      {kFirst + "end\t-1\n", 2},
      {kFirst + "end\t+1\n", 2},
      {kFirst + "end\t 1\n", 2},
      {kFirst + "end\t4294967296\n", 2},
      {kFirst + "end\t0\t0\n", 2},
      {kFirst + "end\n", 2},
      {kFirst + "end\t0\nend\t0\n", 3},       // a second end
      {kFirst + "end\t0\nprogress\t1\n", 3},  // anything after the end
      {kFirst + "end\t0\nfile\ta", 3},
      {kFirst + "server\ta\nserver\tb\n", 3},
      {kFirst + "encryption\teverything\nencryption\tnone\n", 3},
      {kFirst + "identity\tverified\nidentity\tverified\n", 3},
      {kFirst + "encryption\tall\n", 2},
      {kFirst + "encryption\tEverything\n", 2},
      {kFirst + "identity\tchecked\n", 2},
      {kFirst + "server\n", 2},
      {kFirst + "server\ta\tb\n", 2},
      {kFirst + "server\ta\\\n", 2},                           // a backslash at the end
      {kFirst + "server\ta\\x\n", 2},                          // an unknown escape
      {kFirst + "server\ta\rb\n", 2},                          // a raw carriage return
      {kFirst + "file\ta.mp3\t9\t9\tverified\t226\tOK\n", 2},  // seven fields
      {kFirst + file + "\textra\n", 2},
      {kFirst + "file\ta.mp3\t9\t9\tdone\t226\tOK\t\n", 2},
      {kFirst + "file\ta.mp3\tnine\t9\tverified\t226\tOK\t\n", 2},
      {kFirst + "file\ta.mp3\t9\t18446744073709551616\tverified\t226\tOK\t\n", 2},
      {kFirst + "file\ta.mp3\t9\t9\tverified\t1000\tOK\t\n", 2},
      {kFirst + "file\ta.mp3\t9\t9\tverified\t-226\tOK\t\n", 2},
      {kFirst + "file\ta.mp3\t9\t9\tverified\t\tOK\t\n", 2},
      {kFirst + file + "\n" + "failure\t530\tno\n", 3},
      {kFirst + "failure\t5x0\t\t\n", 2},
  };
  for (const Case& c : cases) {
    try {
      ParseUploadReport(c.text);
      ADD_FAILURE() << "read as a report: " << c.text;
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), errnum::kInvalidFileFormat) << c.text;
      EXPECT_NE(error.description().find("line " + std::to_string(c.line) + ":"), std::string::npos)
          << c.text << " -> " << error.description();
    }
  }
}

}  // namespace
}  // namespace tunelift::testing
