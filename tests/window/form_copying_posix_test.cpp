// A copy that fails part way, on its own thread, is told as any failure to stage a file is:
// one message box, and the staging folder as it was. A file-size limit (ulimit -f) makes the
// copy fail part way, as a full disk would.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "posix_checks.h"
#include "program_folder.h"
#include "scripted_dialogs.h"
#include "scripted_view.h"
#include "window/form_handlers.h"

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;

class FormCopyingPosixTest : public ProgramFolderTest {
protected:
  void TearDown() override {
    handlers_.reset();
    ProgramFolderTest::TearDown();
  }

  ScriptedView view_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<FormHandlers> handlers_;
};

TEST_F(FormCopyingPosixTest, ACopyThatFailsPartWayIsReportedOnceAndKeepsTheOlderCopy) {
  WriteFile(StagingPath() / "long.mp3", "the older copy");
  const fs::path chosen = outside_ / "long.mp3";
  WriteFile(chosen, "");
  fs::resize_file(chosen, std::uintmax_t{64} << 20);
  handlers_ = std::make_unique<FormHandlers>(*services_, view_, dialogs_);
  ASSERT_TRUE(handlers_->Run(&FormHandlers::Load));

  bool finished = true;
  {
    const FileSizeLimit limit(std::uintmax_t{20} << 20);  // a few steps in
    dialogs_.AnswerOpenWith(Text(chosen));
    ASSERT_TRUE(handlers_->Run(&FormHandlers::ChooseAndStageFile));
    for (int i = 0; i < 3000 && view_.copyTimerOn(); ++i) {
      finished = handlers_->Run(&FormHandlers::CopyTimerTick);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ASSERT_FALSE(view_.copyTimerOn()) << "the copy did not end";
  EXPECT_FALSE(finished);
  const std::vector<MsgBoxCall>& boxes = dialogs_.msgBoxCalls();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt.rfind("Could not stage the file.\r\nCannot copy '" + Text(chosen), 0),
            0u)
      << boxes[0].prompt;
  EXPECT_NE(boxes[0].prompt.find("File too large"), std::string::npos) << boxes[0].prompt;
  EXPECT_EQ(boxes[0].style, msgbox::kIconExclamation);
  EXPECT_EQ(Names(StagingPath()), Strings{"long.mp3"}) << "no part of the copy";
  EXPECT_EQ(ReadFile(StagingPath() / "long.mp3"), "the older copy");
  EXPECT_EQ(view_.Shown(), Strings{"long.mp3"});
  EXPECT_EQ(view_.busyDepth(), 0);
}

}  // namespace
}  // namespace tunelift::testing
