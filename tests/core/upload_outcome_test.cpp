// What a send came to, from the FTP client's exit status and the report it left in a real
// file; the transcript is named for people, never read.

#include "core/upload_outcome.h"

#include <gtest/gtest.h>

#include "program_folder.h"

namespace tunelift::testing {
namespace {

using UploadOutcomeTest = ProgramFolderTest;

constexpr std::string_view kRefused =
    "tunelift-send-report\t1\n"
    "server\tmusic.example.net\n"
    "encryption\teverything\n"
    "identity\tverified\n"
    "file\ta.mp3\t4\t4\tverified\t226\tTransfer complete.\t\n"
    "file\tb.mp3\t7\t0\tfailed\t550\tftp: 4000000 bytes sent\tThe server refused the file.\n"
    "end\t1\n";

TEST_F(UploadOutcomeTest, ComesFromTheExitStatusAndTheReportNeverTheTranscriptsWords) {
  WriteFile(root_ / "sendfiles-1.report", std::string(kRefused));
  WriteFile(root_ / "sendfiles-1.log", "ftp: 4000000 bytes sent in 1 Seconds\nftp: All sent.\n");
  const UploadOutcome outcome =
      ReadUploadOutcome(1, Text(root_ / "sendfiles-1.report"), Text(root_ / "sendfiles-1.log"));
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_EQ(outcome.transcript, Text(root_ / "sendfiles-1.log"));
  EXPECT_EQ(outcome.reportFile, Text(root_ / "sendfiles-1.report"));
  ASSERT_TRUE(outcome.report.has_value());
  EXPECT_FALSE(outcome.reportError.has_value());
  ASSERT_EQ(outcome.report->files.size(), 2u);
  EXPECT_EQ(outcome.report->files[1].state, FileState::Failed);
  EXPECT_EQ(outcome.report->files[1].replyText, "ftp: 4000000 bytes sent");
  EXPECT_EQ(outcome.report->exitStatus, 1u);
  // Whether music is still staged is the staging area's to say.
  EXPECT_FALSE(outcome.musicStaged.has_value());
}

TEST_F(UploadOutcomeTest, SaysWhyThereIsNoReport) {
  WriteFile(root_ / "broken.report", "tunelift-send-report\t1\nfile\ta.mp3\n");
  fs::create_directory(root_ / "folder.report");
  struct Case {
    std::string file;
    int number;
  };
  for (const Case& c : {Case{"missing.report", errnum::kFileNotFound},
                        Case{"missing/folder/x.report", errnum::kFileNotFound},
                        Case{"broken.report", errnum::kInvalidFileFormat},
                        Case{"folder.report", errnum::kPathFileAccess}}) {
    const UploadOutcome outcome = ReadUploadOutcome(0, Text(root_ / c.file), "t.log");
    EXPECT_FALSE(outcome.report.has_value()) << c.file;
    ASSERT_TRUE(outcome.reportError.has_value()) << c.file;
    EXPECT_EQ(outcome.reportError->number(), c.number) << c.file;
    EXPECT_NE(outcome.reportError->description().find(c.file.substr(0, 7)), std::string::npos)
        << outcome.reportError->description();
  }
}

TEST_F(UploadOutcomeTest, ReadsNoReportLargerThanAnyTheClientWrites) {
  const fs::path huge = root_ / "huge.report";
  WriteFile(huge, "tunelift-send-report\t1\n");
  fs::resize_file(huge, kLargestReport + 1);
  try {
    ReadReportFile(Text(huge));
    FAIL() << "a report larger than the bound was read";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kInvalidFileFormat) << error.description();
  }
  fs::resize_file(huge, kLargestReport);
  EXPECT_EQ(ReadReportFile(Text(huge)).size(), kLargestReport);
}

}  // namespace
}  // namespace tunelift::testing
