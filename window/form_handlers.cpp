#include "window/form_handlers.h"

#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/send_progress.h"
#include "text/path_split.h"
#include "window/layout.h"

namespace tunelift {
namespace {

constexpr std::string_view kOpenFileFilter = "MP3 Files (*.MP3)|*.mp3|All Files (*.*)|*.*";
constexpr std::string_view kOpenFileTitle = "Open File";
constexpr long kOpenFileFlags =
    ofn::kHideReadOnly | ofn::kFileMustExist | ofn::kExplorer | ofn::kLongNames;
static_assert(kOpenFileFlags == 2625540);

constexpr std::string_view kConfirmDelete = "Are you sure you want to delete that?";
constexpr std::string_view kFolderMissing = " does not exist or has already been deleted!";
constexpr std::string_view kFolderMissingTitle = "Folder not Found";
constexpr std::string_view kNewLine = "\r\n";
// After "The music is still being sent …": what waits for the send's end.
constexpr std::string_view kWaitToDelete =
    " The staged files stay until it has ended: the FTP client still sends from them.";
constexpr std::string_view kWaitToSend = " Press \"Send the Music!\" again once it has ended.";
constexpr std::string_view kWaitToFinish =
    " Press \"Finish!\" again once it has ended; the window stays open meanwhile.";
constexpr std::string_view kNothingToSend =
    "There is no music to send. Press \"Browse for .MP3 files\" to pick a song first.";
constexpr std::string_view kKeepSending =
    "The music is still being sent. Keep sending after the window closes?";
// The list shows what the script sends, by one pattern.
static_assert(kStagedListPattern == kMusicPattern);

// The folder of a chosen file: everything before its last separator, which stays where the
// folder is a root ("/", "C:\"). Empty for a bare name.
std::string FolderOf(const std::string& path, char separator) {
  const PathSplit split = SplitFolderAndName(path, std::string_view(&separator, 1));
  if (!split.hasFolder) {
    return {};
  }
  std::string folder(split.folder);
  if (folder.empty() || folder.back() == ':') {
    folder += separator;
  }
  return folder;
}

// What could not be done, as the failure report's first line says it.
namespace action {
constexpr std::string_view kShowOpen = "Could not show the open-file dialog.";
constexpr std::string_view kPrepareFolders = "Could not prepare the staging folder.";
constexpr std::string_view kWriteScript = "Could not write the upload script.";
constexpr std::string_view kReadCurDir = "Could not read the current folder.";
constexpr std::string_view kReadList = "Could not read the staging folder.";
constexpr std::string_view kStageFile = "Could not stage the file.";
constexpr std::string_view kDeleteFile = "Could not delete the file.";
constexpr std::string_view kDeleteAll = "Could not delete the staged files.";
constexpr std::string_view kLaunchUpload = "Could not start the FTP client.";
constexpr std::string_view kRemoveFolder =
    "Could not delete the staging folder; the window stays open so that you can press "
    "\"Finish!\" again.";
constexpr std::string_view kRemoveScript = "Could not delete the upload script.";
constexpr std::string_view kTellSendEnded = "Could not tell how the music's sending ended.";
constexpr std::string_view kShowProgress = "Could not show how far the music's sending has come.";
constexpr std::string_view kStopSending = "Could not stop sending the music.";
constexpr std::string_view kShowTranscript = "Could not show the send's transcript.";
constexpr std::string_view kCloseWindow = "Could not close the window.";
constexpr std::string_view kUseSettings =
    "Could not use the server settings: no music can be sent until tunelift.ini beside the "
    "program is put right and Tunelift is started again.";
}  // namespace action

}  // namespace

std::string FailureText(std::string_view action, std::string_view description) {
  return std::string(action) + std::string(kNewLine) + std::string(description);
}

FormHandlers::FormHandlers(FileServices& services, FormView& view, Dialogs& dialogs,
                           FormOptions options)
    : services_(services),
      staging_(services, BuiltInServerSettings()),
      view_(view),
      dialogs_(dialogs),
      options_(options) {}

bool FormHandlers::ReadServerSettings() {
  try {
    staging_.UseServer(LoadServerSettings(services_.ProgramFolder()));
    settingsFailure_.reset();
    return true;
  } catch (const Error& error) {
    settingsFailure_ = error;
  }
  // The window still opens for the staged files; the failure is told, not guessed around.
  Attempt([this] { RefuseWithoutSettings(); }, true);
  return false;
}

void FormHandlers::RefuseWithoutSettings() {
  Attempting(action::kUseSettings);
  if (settingsFailure_) {
    throw *settingsFailure_;
  }
}

bool FormHandlers::Run(Handler handler) {
  if (RefusedWhileCopying(handler)) {
    return false;
  }
  // A handler run inside another's dialog must not leave its action to the outer one.
  const std::string_view outerAction = std::exchange(action_, {});
  bool finished = Attempt([this, handler] { (this->*handler)(); }, true);
  // The list shows what is staged now, whatever the handler did or failed to do. After a
  // failure, the box already shown says what went wrong; a list that then cannot be read
  // shows nothing rather than names that may be gone.
  const bool listShown = !view_.Unloaded() && !view_.StagedFiles().Path().empty();
  if (listShown && ListMayHaveChanged(handler)) {
    Attempting(action::kReadList);
    finished = Attempt([this] { view_.StagedFiles().Refresh(); }, finished) && finished;
  }
  if (closeWhenSendsEnd_ && !view_.Unloaded()) {
    finished = Attempt([this] { CloseOnceSendsEnd(); }, true) && finished;
  }
  action_ = outerAction;
  return finished;
}

bool FormHandlers::Attempt(const std::function<void()>& step, bool reportFailure) {
  try {
    step();
    return true;
  } catch (const Error& error) {
    if (reportFailure) {
      ReportFailure(error.description());
    }
  } catch (const std::exception& error) {
    // Nothing may leave a Qt slot; whatever else went wrong is reported the same way.
    if (reportFailure) {
      ReportFailure(error.what());
    }
  }
  return false;
}

void FormHandlers::Load() {
  Attempting(action::kPrepareFolders);
  staging_.PrepareFolders();
  if (ReadServerSettings()) {
    Attempting(action::kWriteScript);
    WriteUploadScript();
  }
  Attempting(action::kReadCurDir);
  view_.SetFolderCaption(services_.CurDir());
  Attempting(action::kReadList);
  view_.StagedFiles().SetPath(staging_.StagingFolder());

  openFileSettings_.initDir = staging_.ProgramFolder();
  openFileSettings_.filter = kOpenFileFilter;
  openFileSettings_.filterIndex = 1;
  openFileSettings_.dialogTitle = kOpenFileTitle;
  openFileSettings_.flags = kOpenFileFlags;
  openFileSettings_.cancelError = true;

  // A send that runs from this folder (another window's, or one from before a restart) is
  // shown and told as this window's own; one that ended untold is told now.
  ReportEndedSends();
  if (staging_.UploadRunning()) {
    ShowSendProgress();
  }
}

void FormHandlers::WriteUploadScript() {
  try {
    staging_.WriteUploadScript();
  } catch (const Error&) {
    // A running client may hold the script open (Windows): the one it reads is the same
    // script, and stays.
    if (!staging_.UploadRunning()) {
      throw;
    }
  }
}

void FormHandlers::ChooseAndStageFile() {
  Attempting(action::kShowOpen);
  std::string chosenPath;
  try {
    chosenPath = dialogs_.ShowOpen(openFileSettings_);
  } catch (const Error& error) {
    // The dialog's failures are the only ones handled here; cancelling is not reported.
    if (error.number() != kCancelErrorNumber) {
      ReportDialogFailure(error);
    }
    return;
  }
  // The next Browse opens where the user picked from, as the platform's own dialog does.
  const std::string pickedFrom = FolderOf(chosenPath, services_.Separator());
  if (!pickedFrom.empty()) {
    openFileSettings_.initDir = pickedFrom;
  }
  StartCopy(chosenPath, action::kStageFile);
}

bool FormHandlers::RefuseWhileSending(std::string_view wait) {
  Attempting(action::kTellSendEnded);
  if (!staging_.UploadRunning()) {
    return false;
  }
  dialogs_.MsgBox(StillSendingText(staging_.RunningSendReport()) + std::string(wait),
                  msgbox::kOkOnly | msgbox::kIconExclamation);
  return true;
}

void FormHandlers::DeleteSelectedFile() {
  if (RefuseWhileSending(kWaitToDelete)) {
    return;
  }
  FileList& list = view_.StagedFiles();
  const int index = list.ListIndex();
  if (index < 0) {
    return;
  }
  const std::string folder = list.Path();
  const std::string name = list.List(index);
  if (dialogs_.MsgBox(std::string(kConfirmDelete), msgbox::kYesNo | msgbox::kIconQuestion) ==
      msgbox::kIdYes) {
    Attempting(action::kDeleteFile);
    staging_.DeleteStagedFile(folder, name);
  }
}

void FormHandlers::DeleteAllFiles() {
  if (RefuseWhileSending(kWaitToDelete)) {
    return;
  }
  Attempting(action::kDeleteAll);
  staging_.DeleteAllStaged();
}

void FormHandlers::SendStagedFiles() {
  RefuseWithoutSettings();
  // One send at a time from one program folder: a second client would send the same files.
  if (RefuseWhileSending(kWaitToSend)) {
    return;
  }
  // A client started on nothing would only say, much later, that nothing went.
  Attempting(action::kReadList);
  if (!staging_.MusicStaged()) {
    dialogs_.MsgBox(std::string(kNothingToSend), msgbox::kOkOnly | msgbox::kIconInformation);
    return;
  }
  Attempting(action::kLaunchUpload);
  staging_.LaunchUpload();
  ShowSendProgress();
  view_.SetSendTimer(true);
}

void FormHandlers::Finish() {
  // A send that has ended is told before its transcript goes with the script; while one
  // still runs, RemoveStagingFolder refuses and the window stays.
  ReportEndedSends();
  if (RefuseWhileSending(kWaitToFinish)) {
    return;
  }
  Attempting(action::kRemoveFolder);
  if (!staging_.RemoveStagingFolder()) {
    ReportFolderMissing();
  }
  Attempting(action::kRemoveScript);
  staging_.RemoveUploadScript();
  view_.Unload();
}

void FormHandlers::SendTimerTick() {
  ReportEndedSends();
  if (staging_.UploadRunning()) {
    ShowSendProgress();
  }
}

void FormHandlers::CloseWindow() {
  // A send that has just ended is told before its window goes.
  ReportEndedSends();
  Attempting(action::kCloseWindow);
  if (!staging_.UploadRunning()) {
    view_.Unload();
    return;
  }
  const int answer =
      dialogs_.MsgBox(std::string(kKeepSending), msgbox::kYesNo | msgbox::kIconQuestion);
  if (answer == msgbox::kIdYes) {
    closeWhenSendsEnd_ = true;
    view_.HideUntilSendsEnd();
    return;  // Run closes the window once the sends have ended
  }
  if (answer != msgbox::kIdNo) {
    return;  // neither answer: the window stays
  }
  StopAndTellSends();
  view_.Unload();
}

void FormHandlers::StopSending() {
  StopAndTellSends();
}

void FormHandlers::ShowTranscript() {
  Attempting(action::kShowTranscript);
  // A send that ended meanwhile has taken its icon, and its notice names its transcript.
  if (const std::optional<StagingArea::SendFiles> running = staging_.RunningSend()) {
    view_.OpenInViewer(running->transcript);
  }
}

void FormHandlers::StopAndTellSends() {
  Attempting(action::kStopSending);
  std::optional<Error> failure;
  try {
    staging_.StopUploads();
  } catch (const Error& error) {
    failure = error;
  }
  ReportEndedSends();
  if (failure) {
    Attempting(action::kStopSending);
    throw *failure;
  }
}

void FormHandlers::ShowSendProgress() {
  Attempting(action::kShowProgress);
  const std::optional<StagingArea::SendFiles> running = staging_.RunningSend();
  const UploadProgress progress = running ? ReadUploadProgress(running->report) : UploadProgress{};
  if (!progress.progress && shownTooltip_) {
    return;  // a report caught between two writes, or not written yet: what shows stays
  }
  const std::string tooltip = SendingTooltip(progress);
  if (tooltip != shownTooltip_) {
    view_.ShowSending(tooltip);
    shownTooltip_ = tooltip;
  }
  const double done = progress.progress ? progress.progress->done : 0.0;
  if (done != shownDone_) {
    view_.ShowSendProgress(done);
    shownDone_ = done;
  }
}

void FormHandlers::CloseOnceSendsEnd() {
  ReportEndedSends();
  if (!staging_.UploadRunning()) {
    view_.Unload();
  }
}

void FormHandlers::ReportEndedSends() {
  Attempting(action::kTellSendEnded);
  // Looked at first: a send that ends after this look is taken at the next tick, so that the
  // signs never end before the send they show has been told.
  const bool running = staging_.UploadRunning();
  std::vector<SendNotice> notices;
  for (const UploadOutcome& outcome : staging_.TakeEndedUploads()) {
    notices.push_back(NoticeFor(outcome, staging_.Host()));
    aSendFailed_ = aSendFailed_ || notices.back().failed;
  }
  // The desktop's signs are settled before anything is told, so that a failure to tell
  // leaves neither a timer running for nothing, nor a send unwatched, nor its signs behind.
  view_.SetSendTimer(running || staging_.SendsToTell());
  std::optional<Error> progressFailure;
  if (!running) {
    view_.HideSending();
    shownTooltip_.reset();
    if (shownDone_) {
      shownDone_.reset();
      // A progress that cannot be ended is told after the notices, which matter more.
      try {
        view_.EndSendProgress(std::exchange(aSendFailed_, false));
      } catch (const Error& error) {
        progressFailure = error;
      }
    }
  }
  for (const SendNotice& notice : notices) {
    view_.TellSendEnded(notice);
  }
  if (progressFailure) {
    Attempting(action::kShowProgress);
    throw *progressFailure;
  }
}

void FormHandlers::ReportFailure(std::string_view description) {
  dialogs_.MsgBox(FailureText(action_, description), msgbox::kOkOnly | msgbox::kIconExclamation);
}

void FormHandlers::ReportDialogFailure(const Error& error) {
  dialogs_.MsgBox("Error " + std::to_string(error.number()) + " selecting file." +
                      std::string(kNewLine) + error.description(),
                  msgbox::kOkOnly);
}

void FormHandlers::ReportFolderMissing() {
  dialogs_.MsgBox(staging_.StagingFolder() + std::string(kFolderMissing),
                  msgbox::kOkOnly | msgbox::kIconExclamation, std::string(kFolderMissingTitle));
}

}  // namespace tunelift
