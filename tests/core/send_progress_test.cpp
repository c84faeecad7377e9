// How far a send has come, as its report tells it while the client sends: the file in
// flight, its number among the files and its bytes, and the share of the whole send done.

#include "core/send_progress.h"

#include <gtest/gtest.h>

namespace tunelift::testing {
namespace {

const std::string kFirst = "tunelift-send-report\t1\n";

SendProgress Progress(const std::string& records) {
  return ProgressOf(ParseUploadReport(kFirst + records));
}

TEST(SendProgress, BeforeTheFirstFileStartsNamesNoFile) {
  for (const std::string records : {"", "server\tmusic.example.net\n",
                                    "file\ta.mp3\t10\t0\twaiting\t0\t\t\n"
                                    "file\tb.mp3\t30\t0\twaiting\t0\t\t\n"}) {
    const SendProgress progress = Progress(records);
    EXPECT_EQ(progress.fileNumber, 0u) << records;
    EXPECT_TRUE(progress.fileName.empty()) << records;
    EXPECT_EQ(progress.done, 0.0) << records;
  }
  EXPECT_EQ(Progress("file\ta.mp3\t10\t0\twaiting\t0\t\t\n").fileCount, 1u);
}

TEST(SendProgress, NamesTheFileBeingSentWithTheBytesTheServerHolds) {
  const SendProgress progress = Progress(
      "file\ta.mp3\t10\t10\tverified\t226\tOK\t\n"
      "file\tb.mp3\t30\t12\tsending\t0\t\t\n"
      "file\tc.mp3\t60\t0\twaiting\t0\t\t\n");
  EXPECT_EQ(progress.fileNumber, 2u);
  EXPECT_EQ(progress.fileCount, 3u);
  EXPECT_EQ(progress.fileName, "b.mp3");
  EXPECT_EQ(progress.fileSent, 12u);
  EXPECT_EQ(progress.fileSize, 30u);
  EXPECT_DOUBLE_EQ(progress.done, 22.0 / 100.0);
}

TEST(SendProgress, CountsAFailedFileAsDoneWithAndBetweenFilesShowsTheLastOneFinished) {
  const SendProgress progress = Progress(
      "file\ta.mp3\t10\t10\tsent-not-verified\t226\tOK\t\n"
      "file\tb.mp3\t30\t5\tfailed\t550\tNo.\tThe server refused it.\n"
      "file\tc.mp3\t60\t0\twaiting\t0\t\t\n");
  EXPECT_EQ(progress.fileNumber, 2u);
  EXPECT_EQ(progress.fileName, "b.mp3");
  EXPECT_EQ(progress.fileSent, 5u);
  EXPECT_DOUBLE_EQ(progress.done, 40.0 / 100.0);
}

TEST(SendProgress, NeverCountsMoreBytesThanAFileHas) {
  const SendProgress progress = Progress("file\ta.mp3\t10\t25\tsending\t0\t\t\n");
  EXPECT_EQ(progress.fileSent, 10u);
  EXPECT_DOUBLE_EQ(progress.done, 1.0);
}

TEST(SendProgress, CountsFilesWhereEveryFileIsEmpty) {
  const SendProgress progress = Progress(
      "file\ta.mp3\t0\t0\tverified\t226\tOK\t\n"
      "file\tb.mp3\t0\t0\tsending\t0\t\t\n"
      "file\tc.mp3\t0\t0\twaiting\t0\t\t\n"
      "file\td.mp3\t0\t0\twaiting\t0\t\t\n");
  EXPECT_EQ(progress.fileNumber, 2u);
  EXPECT_DOUBLE_EQ(progress.done, 0.25);
}

TEST(SendProgress, AddsSizesTooLargeForAnyFileWithoutOverflowing) {
  const SendProgress progress = Progress(
      "file\ta.mp3\t18446744073709551615\t18446744073709551615\tverified\t226\tOK\t\n"
      "file\tb.mp3\t18446744073709551615\t0\twaiting\t0\t\t\n");
  EXPECT_NEAR(progress.done, 0.5, 1e-9);
}

}  // namespace
}  // namespace tunelift::testing
