#pragma once
// A real Tunelift window on a fresh temporary program folder, with real file and process
// services and scripted dialogs, drawn in the dialog font the program uses; clicks go through
// QTest as a user's would.

#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QProgressDialog>

#include "core/services.h"
#include "scripted_dialogs.h"
#include "window/qt/main_window.h"
#include "window/qt/path_text.h"

namespace tunelift::testing {

namespace fs = std::filesystem;

// Scripted dialogs, but with Qt's own progress dialog, modal to the window as the program
// shows it. It blocks nothing, so a test presses its Cancel button as a user would.
class WindowDialogs : public ScriptedDialogs {
public:
  void SetOwner(QWidget* owner) { owner_ = owner; }
  std::unique_ptr<ProgressDialog> ShowProgress(const ProgressText& text) override;

private:
  QPointer<QWidget> owner_;
};

class WindowFixture {
public:
  explicit WindowFixture(FormOptions options = {});
  // Puts the current directory back where it was, so the temporary folder can go.
  ~WindowFixture();

  fs::path ProgramFolder() const;
  fs::path StagingFolder() const { return ProgramFolder() / "temp"; }
  fs::path UploadScript() const { return ProgramFolder() / "sendfiles.ftps"; }
  // A folder outside the program folder, as a user's music folder would be.
  fs::path MusicFolder() const;

  // Runs Load and, when it succeeds, shows the window.
  bool LoadAndShow();
  // Clicks the button and, as a user who waits for the song to show, lets the events run
  // until a copy the click started has ended.
  void Click(std::string_view buttonName);
  // Clicks the button and returns at once.
  void Press(std::string_view buttonName);
  // Lets the events run until no copy runs (60 s at most); false when one still does.
  bool AwaitCopyEnd();
  bool Copying() const;
  // The copy's progress dialog while it shows; nullptr when none does.
  QProgressDialog* ProgressShown() const;
  // Clicks the list entry `name`, as a user selects it.
  void Select(std::string_view name);
  QStringList Listed() const;

  WindowDialogs& dialogs() { return dialogs_; }
  MainWindow& window() { return *window_; }
  template <typename T>
  T* Control(std::string_view name) const;

private:
  fs::path originalDirectory_;
  QTemporaryDir root_;
  std::unique_ptr<FileServices> services_;
  WindowDialogs dialogs_;
  std::unique_ptr<MainWindow> window_;
};

template <typename T>
T* WindowFixture::Control(std::string_view name) const {
  return window_->findChild<T*>(ToQString(name));
}

// Creates (or replaces) the file at `path` with `content`; returns the path.
fs::path WriteFile(const fs::path& path, std::string_view content = "music");
std::string ReadFile(const fs::path& path);
// The names of the files in `folder`, sorted; none when the folder is missing.
std::vector<std::string> FileNames(const fs::path& folder);

}  // namespace tunelift::testing
