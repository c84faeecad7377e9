#pragma once
// The staging folder beside the program, the upload script, and the start of the FTP client.
// One object holds the operations. The folder itself is the only record of what is staged;
// the object keeps only the services it was given and the FTP clients it started in this
// run, so that nothing is deleted under a client that still sends. Every operation throws
// tunelift::Error when a file or process service fails.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "services.h"
#include "upload_outcome.h"

namespace tunelift {

// The upload script: its lines joined by CR LF, without the closing CR LF that WriteLine adds.
std::string UploadScriptText(std::string_view host);

// The command line that starts the FTP client on the script; the client is found by the
// program search, the script by its name relative to the program folder.
inline constexpr std::string_view kClientCommandLine = "ftp.exe -s:sendfiles.ftps";
inline constexpr std::string_view kUploadScriptName = "sendfiles.ftps";
inline constexpr std::string_view kStagingFolderName = "temp";
// Each send's transcript, beside the script: "sendfiles-1.log" for the first send of a run.
inline constexpr std::string_view kTranscriptPrefix = "sendfiles-";
inline constexpr std::string_view kTranscriptSuffix = ".log";

class StagingArea {
public:
  // `services` must outlive this object. `host` is the server the script logs into.
  StagingArea(FileServices& services, std::string host);

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

  // The server the script logs into.
  const std::string& Host() const { return host_; }

  // Starts the FTP client on the script from the program folder and returns at once. The
  // client's output goes to a transcript of this send's own beside the script, readable by
  // its owner alone (it replaces a transcript of that name left by an earlier run).
  void LaunchUpload();
  // True while a client started by LaunchUpload in this run still runs. Never blocks.
  bool UploadRunning();
  // What each send whose client has ended since the last call came to, in the order they
  // were started. Their transcripts stay until RemoveUploadScript.
  std::vector<UploadOutcome> TakeEndedUploads();

  // Deletes the staging folder with everything in it; false when there was none. While a
  // client started in this run still runs, deletes nothing and fails: it still sends from it.
  bool RemoveStagingFolder();
  // Deletes the upload script and the send transcripts beside it; what is already gone is
  // not an error.
  void RemoveUploadScript();

private:
  // A client started by LaunchUpload, and where its transcript goes.
  struct Upload {
    std::unique_ptr<RunningProgram> client;
    std::string transcript;
  };

  bool CheckFolder(const std::string& path) const;
  std::string InProgramFolder(std::string_view name) const;
  void KillIfThere(const std::string& pattern);

  FileServices& services_;
  std::string host_;
  std::vector<Upload> uploads_;
  int uploadsStarted_ = 0;
};

}  // namespace tunelift
