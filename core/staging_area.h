#pragma once
// The staging folder beside the program, the upload script, and the start of the FTP client.
// One object holds the operations; it owns no state but the services it was given, because
// the folder itself is the only record of what is staged. Every operation throws
// tunelift::Error when a file or process service fails.

#include <string>
#include <string_view>

#include "services.h"

namespace tunelift {

// The upload script: its lines joined by CR LF, without the closing CR LF that WriteLine adds.
std::string UploadScriptText(std::string_view host);

// The command line that starts the FTP client on the script; the client is found by the
// program search, the script by its name relative to the program folder.
inline constexpr std::string_view kClientCommandLine = "ftp.exe -s:sendfiles.ftps";
inline constexpr std::string_view kUploadScriptName = "sendfiles.ftps";
inline constexpr std::string_view kStagingFolderName = "temp";

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

  // Copies the chosen file into the staging folder under its own name (the text after the
  // last separator), replacing a staged file of that name.
  void StageFile(const std::string& chosenPath);
  // Deletes the file `name` in `folder`, literally.
  void DeleteStagedFile(const std::string& folder, const std::string& name);
  // Deletes every file in the staging folder, whatever its extension; sub-folders stay.
  // Nothing to delete is not an error.
  void DeleteAllStaged();

  // Starts the FTP client on the script from the program folder and returns at once.
  void LaunchUpload();
  // Deletes the staging folder with everything in it; false when there was none.
  bool RemoveStagingFolder();
  // Deletes the upload script; a script that is already gone is not an error.
  void RemoveUploadScript();

private:
  bool CheckFolder(const std::string& path) const;
  std::string InProgramFolder(std::string_view name) const;

  FileServices& services_;
  std::string host_;
};

}  // namespace tunelift
