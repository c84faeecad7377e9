// A copy that tells how far it has come and stops when asked: what the window's progress
// dialog and its Cancel button rest on.

#include <stop_token>
#include <vector>

#include "core/error.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

// More than two steps of a copy, and not a whole number of them.
constexpr std::uintmax_t kSeveralSteps = (std::uintmax_t{20} << 20) + 3;

class CopyProgressTest : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    area_->PrepareFolders();
  }

  // A chosen file of `size` bytes, sparse: the copy reads zeros but writes every byte.
  std::string Choose(const std::string& name, std::uintmax_t size) {
    const fs::path chosen = In(outside_, name);
    WriteFile(chosen, "");
    fs::resize_file(chosen, size);
    return Text(chosen);
  }
};

TEST_F(CopyProgressTest, ReportsEachStepUpToTheWholeFile) {
  const std::string chosen = Choose("long.mp3", kSeveralSteps);
  std::vector<CopyProgress> reports;
  CopyOptions options;
  options.progress = [&](const CopyProgress& p) { reports.push_back(p); };
  area_->StageFile(chosen, options);

  ASSERT_GT(reports.size(), 2u) << "a copy of several steps is reported as it goes";
  EXPECT_EQ(reports[0].copied, 0u) << "the size is known before anything is copied";
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].total, kSeveralSteps);
    if (i > 0) {
      EXPECT_GT(reports[i].copied, reports[i - 1].copied) << "report " << i;
    }
  }
  EXPECT_EQ(reports.back().copied, kSeveralSteps);
  EXPECT_EQ(fs::file_size(StagingPath() / "long.mp3"), kSeveralSteps);
}

TEST_F(CopyProgressTest, AStopPartWayEndsTheCopyAtTheNextStepAndKeepsTheOlderCopy) {
  WriteFile(StagingPath() / "long.mp3", "the older copy");
  const std::string chosen = Choose("long.mp3", kSeveralSteps);
  std::stop_source stop;
  std::vector<CopyProgress> reports;
  const CopyOptions options{.progress =
                                [&](const CopyProgress& p) {
                                  reports.push_back(p);
                                  if (p.copied > 0) {
                                    stop.request_stop();
                                  }
                                },
                            .stop = stop.get_token()};
  try {
    area_->StageFile(chosen, options);
    FAIL() << "a stopped copy must not pass for done";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kUserInterrupt);
    EXPECT_NE(error.description().find(chosen), std::string::npos) << error.description();
    EXPECT_NE(error.description().find("cancelled"), std::string::npos) << error.description();
  }
  ASSERT_EQ(reports.size(), 2u) << "the start, one step, and none after the stop";
  EXPECT_LT(reports[1].copied, kSeveralSteps);
  // No scratch file beside it, and the older copy as it was.
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"long.mp3"});
  EXPECT_EQ(ReadFile(StagingPath() / "long.mp3"), "the older copy");
}

TEST_F(CopyProgressTest, AStopRequestedBeforeTheCopyLeavesNothing) {
  const std::string chosen = Choose("short.mp3", 5);
  std::stop_source stop;
  stop.request_stop();
  try {
    area_->StageFile(chosen, {.progress = {}, .stop = stop.get_token()});
    FAIL() << "a stopped copy must not pass for done";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kUserInterrupt) << error.description();
  }
  EXPECT_TRUE(Names(StagingPath()).empty());
}

TEST_F(CopyProgressTest, AnUnstoppedCopyOfAnEmptyFileIsDone) {
  const std::string chosen = Choose("empty.mp3", 0);
  std::stop_source stop;
  area_->StageFile(chosen, {.progress = {}, .stop = stop.get_token()});
  EXPECT_EQ(Names(StagingPath()), std::vector<std::string>{"empty.mp3"});
}

TEST_F(CopyProgressTest, StagedNameIsTheTextAfterTheLastSeparator) {
  EXPECT_EQ(area_->StagedName(Text(outside_ / "album" / "Song One.mp3")), "Song One.mp3");
  EXPECT_EQ(area_->StagedName("bare.mp3"), "bare.mp3");
}

}  // namespace
}  // namespace tunelift::testing
