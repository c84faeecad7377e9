// The window and tunelift.ini beside the program: a good file decides the script the window
// writes and the client it starts; a file that cannot be used is told as the window opens,
// no script is written from guessed values, and "Send the Music!" starts no client. On a real
// program folder with the stand-in FTP client, on every platform.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "program_folder.h"
#include "replay_client.h"
#include "scripted_dialogs.h"
#include "scripted_view.h"
#include "window/form_handlers.h"

namespace tunelift::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kCannotUse =
    "Could not use the server settings: no music can be sent until tunelift.ini beside the "
    "program is put right and Tunelift is started again.\r\n";

class FormSettingsTest : public ProgramFolderTest {
protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    InstallStandInClient(root_);
    WriteFile(StagingPath() / "song.mp3", "music");
  }
  void TearDown() override {
    handlers_.reset();
    ProgramFolderTest::TearDown();
  }

  // The window as it starts in the program folder, with whatever tunelift.ini is there.
  bool Load() {
    handlers_ = std::make_unique<FormHandlers>(*services_, view_, dialogs_);
    return handlers_->Run(&FormHandlers::Load);
  }
  bool Send() { return handlers_->Run(&FormHandlers::SendStagedFiles); }
  const std::vector<MsgBoxCall>& Boxes() const { return dialogs_.msgBoxCalls(); }

  // Looks a while for a client that Send may have started: none may come.
  void ExpectNoClientStarted() {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(ClientRuns(root_).empty());
    EXPECT_FALSE(fs::exists(root_ / "sendfiles-1.log"));
    EXPECT_FALSE(view_.timerOn());
    EXPECT_TRUE(view_.sendingTooltip().empty());
  }

  ScriptedView view_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<FormHandlers> handlers_;
};

TEST_F(FormSettingsTest, AGoodFileDecidesTheScriptAndTheSendUsesIt) {
  WriteFile(root_ / "tunelift.ini",
            "; the station's server\r\n[server]\r\nhost = 127.0.0.1\r\nport = 2121\r\n"
            "user = Night Shift\r\npassword = p w\r\n");
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(ReadFile(root_ / "sendfiles.ftps"),
            "prompt\r\nopen 127.0.0.1 2121\r\nNight Shift\r\np w\r\nbinary\r\nmput temp\\*.mp3\r\n"
            "bye\r\n");

  ASSERT_TRUE(Send());
  for (int i = 0; i < 1500 && ClientRuns(root_).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(ClientRuns(root_).size(), 1u);
  EXPECT_EQ(ClientRuns(root_)[0][1], "-s:sendfiles.ftps");
}

TEST_F(FormSettingsTest, AMalformedFileIsToldAsTheWindowOpensAndSendStartsNoClient) {
  WriteFile(root_ / "tunelift.ini", "[server]\nhost = 127.0.0.1\nport = 21 21\n");
  // The window opens: the staged songs can still be looked after.
  ASSERT_TRUE(Load());
  const std::string told = kCannotUse +
                           "tunelift.ini, line 3: port must be a whole number from 1 to 65535, got "
                           "'21 21'.";
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt, told);
  EXPECT_EQ(Boxes()[0].style, msgbox::kIconExclamation);
  EXPECT_FALSE(fs::exists(root_ / "sendfiles.ftps"));
  EXPECT_EQ(view_.Shown(), Strings{"song.mp3"});

  EXPECT_FALSE(Send());
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].prompt, told);
  EXPECT_EQ(Boxes()[1].style, msgbox::kIconExclamation);
  ExpectNoClientStarted();
  EXPECT_FALSE(fs::exists(root_ / "sendfiles.ftps"));

  // Deleting and finishing still work.
  EXPECT_TRUE(handlers_->Run(&FormHandlers::DeleteAllFiles));
  EXPECT_TRUE(view_.Shown().empty());
  EXPECT_EQ(Boxes().size(), 2u);
}

TEST_F(FormSettingsTest, AFileThatCannotBeReadIsToldWithItsPathAndSendStartsNoClient) {
  fs::create_directory(root_ / "tunelift.ini");
  ASSERT_TRUE(Load());
  const std::string told = kCannotUse + "Cannot read the settings file '" +
                           Text(root_ / "tunelift.ini") + "': it is a folder, not a file.";
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].prompt, told);
  EXPECT_FALSE(fs::exists(root_ / "sendfiles.ftps"));

  EXPECT_FALSE(Send());
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].prompt, told);
  ExpectNoClientStarted();
}

}  // namespace
}  // namespace tunelift::testing
