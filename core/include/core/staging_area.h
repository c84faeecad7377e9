#pragma once
// The staging folder beside the program, the upload script, and the start of the FTP client.
// One object holds the operations. The folder itself is the only record of what is staged;
// the object keeps only the services it was given and the FTP clients it started in this
// run, so that nothing is deleted under a client that still sends. Every operation throws
// tunelift::Error when a file or process service fails.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server_settings.h"
#include "services.h"
#include "upload_outcome.h"

namespace tunelift {

// The upload script for `server`: its lines joined by CR LF, without the closing CR LF that
// WriteLine adds. The "open" line names the port only where the settings give one.
std::string UploadScriptText(const ServerSettings& server);

// The command line that starts the FTP client on the script; the client is found by the
// program search, the script by its name relative to the program folder.
inline constexpr std::string_view kClientCommandLine = "ftp.exe -s:sendfiles.ftps";
inline constexpr std::string_view kUploadScriptName = "sendfiles.ftps";
inline constexpr std::string_view kStagingFolderName = "temp";
// The staged files the script sends.
inline constexpr std::string_view kMusicPattern = "*.mp3";
// Each send's transcript and report, beside the script: "sendfiles-N.log" and
// "sendfiles-N.report", N the smallest number that neither name has yet. The client writes
// its report where the variable kReportVariable of its environment says, first into the
// report's name followed by ".part".
inline constexpr std::string_view kTranscriptPrefix = "sendfiles-";
inline constexpr std::string_view kTranscriptSuffix = ".log";
inline constexpr std::string_view kReportSuffix = ".report";
inline constexpr std::string_view kReportScratchSuffix = ".report.part";
// A report whose send's outcome was told: renamed so by the one window that told it.
inline constexpr std::string_view kReportToldSuffix = ".report.told";
inline constexpr std::string_view kReportVariable = "TUNELIFT_FTP_REPORT";

class StagingArea {
public:
  // Where one send's transcript and report go.
  struct SendFiles {
    std::string transcript;
    std::string report;
  };

  // `services` must outlive this object. `server` is what the script logs into.
  StagingArea(FileServices& services, ServerSettings server);

  // The program folder, as the services give it.
  std::string ProgramFolder() const;
  // The program folder followed by the separator and "temp", appended as it stands.
  std::string StagingFolder() const;

  // Makes the program folder current and creates the staging folder when it is missing;
  // files already staged stay.
  void PrepareFolders();
  // Writes the upload script into the current directory, replacing any earlier one. Only its
  // owner may read it: it holds the account's password.
  void WriteUploadScript();

  // The name a chosen file is staged under: its own, the text after the last separator.
  std::string StagedName(const std::string& chosenPath) const;
  // Copies the chosen file into the staging folder under its StagedName, replacing a staged
  // file of that name. `options` follow and may stop the copy (FileCopy in services.h); like
  // FileCopy, it may run on a thread of its own while no other operation runs.
  void StageFile(const std::string& chosenPath, const CopyOptions& options = {});
  // Deletes the file `name` in `folder`, literally.
  void DeleteStagedFile(const std::string& folder, const std::string& name);
  // Deletes every file in the staging folder, whatever its extension; sub-folders stay.
  // Nothing to delete is not an error.
  void DeleteAllStaged();

  // True when the staging folder holds music the script sends: a file matching kMusicPattern
  // by the list's own rule (listing.h). False for a folder that holds none or is missing;
  // throws tunelift::Error when it cannot be read.
  bool MusicStaged() const;

  // The server the script logs into.
  const std::string& Host() const { return server_.host; }
  // The server the script logs into from now on, from the next WriteUploadScript on.
  void UseServer(ServerSettings server) { server_ = std::move(server); }

  // Starts the FTP client on the script from the program folder and returns at once; a script
  // that is gone (another window finished) is written again first. The
  // send takes the next free number: its output goes to a new transcript beside the script,
  // readable by its owner alone, and its environment names the report beside it. No
  // transcript or report of an earlier send, of this run, another or another window, is
  // replaced; two windows starting at once never take the same number.
  void LaunchUpload();
  // True while a send runs from the program folder: one this object started, or one that
  // another window, or an earlier run, started (its client still holds its transcript).
  // Never blocks.
  bool UploadRunning();
  // The report of a send that runs now, as far as its client has written it; absent when no
  // send runs or its report cannot be read yet.
  std::optional<UploadReport> RunningSendReport();
  // What each send whose client has ended since the last call came to: the ones this object
  // started, in the order they were started, then any other send from the program folder
  // whose outcome nobody has told yet (another window's, or an earlier run's). Each send is
  // taken once, whatever the number of windows: the one that takes it marks its report told.
  // With the client's exit status (from the report where another process started it) and
  // report, and whether music is still staged now. The files stay until RemoveUploadScript.
  std::vector<UploadOutcome> TakeEndedUploads();
  // True while a send this object started has not been taken by TakeEndedUploads, or one
  // from the program folder has ended that nobody has told yet.
  bool SendsToTell();

  // Deletes the staging folder with everything in it; false when there was none. While a
  // send runs (UploadRunning), deletes nothing and fails: it still sends from it.
  bool RemoveStagingFolder();
  // Deletes the upload script and every send's transcript and report beside it (also those
  // of earlier runs); what is already gone is not an error. While a send runs, deletes
  // nothing and fails: it still writes them.
  void RemoveUploadScript();

  // The files of the send started last in this run whose client still runs, else of a send
  // that another window or an earlier run started and that still runs; none when none runs.
  // Never blocks.
  std::optional<SendFiles> RunningSend();
  // Ends at once every client started in this run that still runs (RunningProgram::Stop);
  // the next TakeEndedUploads tells each as stopped. When one cannot be stopped, the others
  // still are, and then the first failure is thrown.
  void StopUploads();

private:
  // A client started by LaunchUpload, and its files.
  struct Upload {
    std::unique_ptr<RunningProgram> client;
    SendFiles files;
    bool stopped = false;  // by StopUploads
  };

  bool CheckFolder(const std::string& path) const;
  std::string InProgramFolder(std::string_view name) const;
  SendFiles SendFilesNumbered(int number) const;
  // The files of every send whose transcript is in the program folder.
  std::vector<SendFiles> SendsInFolder() const;
  bool Started(const SendFiles& files) const;
  // The outcome of another process's send that has ended, when this call is the one that
  // marks its report told.
  std::optional<UploadOutcome> ClaimEnded(const SendFiles& files);
  // Marks the send's report told; false when another window did so first.
  bool MarkTold(const SendFiles& files) const;
  static std::string ToldReport(const SendFiles& files);
  // The client started on the files numbered `number`; none when another send has them.
  std::unique_ptr<RunningProgram> StartClientOn(const SendFiles& files);
  // Throws `what` (errnum::kFileAlreadyOpen) while a client started in this run still runs.
  void RefuseWhileSending(const std::string& what);
  void KillIfThere(const std::string& pattern);

  FileServices& services_;
  ServerSettings server_;
  std::vector<Upload> uploads_;
};

}  // namespace tunelift
