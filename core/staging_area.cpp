#include "staging_area.h"

#include <utility>

#include "error.h"

namespace tunelift {
namespace {

constexpr std::string_view kUser = "DeckHopper";
constexpr std::string_view kPassword = "MovingTracks";

}  // namespace

std::string UploadScriptText(std::string_view host) {
  // The client starts in ASCII mode, which would rewrite line-end bytes inside the music:
  // "binary" comes before the upload. The upload line is in the client's own dialect.
  return "prompt\r\nopen " + std::string(host) + "\r\n" + std::string(kUser) + "\r\n" +
         std::string(kPassword) + "\r\nbinary\r\nmput temp\\*.mp3\r\nbye";
}

StagingArea::StagingArea(FileServices& services, std::string host)
    : services_(services), host_(std::move(host)) {}

std::string StagingArea::ProgramFolder() const {
  return services_.ProgramFolder();
}

std::string StagingArea::StagingFolder() const {
  return InProgramFolder(kStagingFolderName);
}

std::string StagingArea::InProgramFolder(std::string_view name) const {
  return services_.ProgramFolder() + services_.Separator() + std::string(name);
}

bool StagingArea::CheckFolder(const std::string& path) const {
  return services_.FolderExists(path);
}

void StagingArea::PrepareFolders() {
  const std::string programFolder = services_.ProgramFolder();
  services_.ChDrive(programFolder);
  services_.ChDir(programFolder);
  const std::string staging = StagingFolder();
  if (!CheckFolder(staging)) {
    services_.MkDir(staging);
  }
}

void StagingArea::WriteUploadScript() {
  std::unique_ptr<TextStream> script = services_.CreateTextFile(
      std::string(kUploadScriptName), TextFileOptions{.overwrite = true, .ownerOnly = true});
  script->WriteLine(UploadScriptText(host_));
  script->Close();
}

void StagingArea::StageFile(const std::string& chosenPath) {
  const std::size_t lastSeparator = chosenPath.rfind(services_.Separator());
  const std::string name =
      lastSeparator == std::string::npos ? chosenPath : chosenPath.substr(lastSeparator + 1);
  services_.FileCopy(chosenPath, StagingFolder() + services_.Separator() + name);
}

void StagingArea::DeleteStagedFile(const std::string& folder, const std::string& name) {
  services_.KillFile(folder + services_.Separator() + name);
}

void StagingArea::DeleteAllStaged() {
  try {
    services_.Kill(StagingFolder() + services_.Separator() + "*.*");
  } catch (const Error& error) {
    // An empty staging folder is the goal already reached; a missing one is still an error.
    if (error.number() != errnum::kFileNotFound) {
      throw;
    }
  }
}

void StagingArea::LaunchUpload() {
  const std::string programFolder = services_.ProgramFolder();
  services_.ChDrive(programFolder);
  services_.ChDir(programFolder);
  services_.Shell(std::string(kClientCommandLine), WindowStyle::MinimizedFocus);
}

bool StagingArea::RemoveStagingFolder() {
  const std::string staging = StagingFolder();
  if (!services_.FolderExists(staging)) {
    return false;
  }
  services_.DeleteFolder(staging);
  return true;
}

void StagingArea::RemoveUploadScript() {
  try {
    services_.Kill(InProgramFolder(kUploadScriptName));
  } catch (const Error& error) {
    // A script that is already gone leaves nothing to do.
    if (error.number() != errnum::kFileNotFound) {
      throw;
    }
  }
}

}  // namespace tunelift
