#include "staging_area.h"

#include <algorithm>
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

std::string StagingArea::StagedName(const std::string& chosenPath) const {
  const std::size_t lastSeparator = chosenPath.rfind(services_.Separator());
  return lastSeparator == std::string::npos ? chosenPath : chosenPath.substr(lastSeparator + 1);
}

void StagingArea::StageFile(const std::string& chosenPath, const CopyOptions& options) {
  services_.FileCopy(chosenPath,
                     StagingFolder() + services_.Separator() + StagedName(chosenPath), options);
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
  // Numbered per run, so that sends running side by side never share a transcript.
  const std::string transcript = InProgramFolder(std::string(kTranscriptPrefix) +
                                                 std::to_string(uploadsStarted_ + 1) +
                                                 std::string(kTranscriptSuffix));
  std::unique_ptr<RunningProgram> client =
      services_.Shell(std::string(kClientCommandLine), WindowStyle::MinimizedFocus,
                      ShellOptions{.outputFile = transcript});
  ++uploadsStarted_;
  uploads_.push_back({std::move(client), transcript});
}

bool StagingArea::UploadRunning() {
  return std::ranges::any_of(uploads_, [](Upload& upload) { return upload.client->Running(); });
}

std::vector<UploadOutcome> StagingArea::TakeEndedUploads() {
  std::vector<UploadOutcome> outcomes;
  std::erase_if(uploads_, [&outcomes](Upload& upload) {
    if (upload.client->Running()) {
      return false;
    }
    outcomes.push_back(
        ReadUploadOutcome(upload.client->ExitStatus(), ReadTranscript(upload.transcript)));
    return true;
  });
  return outcomes;
}

bool StagingArea::RemoveStagingFolder() {
  const std::string staging = StagingFolder();
  if (UploadRunning()) {
    // On Windows the deletion would fail part-way on the file being sent; here it would pull
    // the songs not yet sent from under the client. Either way nothing is deleted.
    throw Error(errnum::kFileAlreadyOpen,
                "The FTP client is still sending from the staging folder '" + staging + "'.");
  }
  if (!services_.FolderExists(staging)) {
    return false;
  }
  services_.DeleteFolder(staging);
  return true;
}

void StagingArea::RemoveUploadScript() {
  KillIfThere(InProgramFolder(kUploadScriptName));
  // Every send's transcript, also those of earlier runs that ended without "Finish!".
  KillIfThere(InProgramFolder(std::string(kTranscriptPrefix) + "*" +
                              std::string(kTranscriptSuffix)));
}

void StagingArea::KillIfThere(const std::string& pattern) {
  try {
    services_.Kill(pattern);
  } catch (const Error& error) {
    // What is already gone leaves nothing to do.
    if (error.number() != errnum::kFileNotFound) {
      throw;
    }
  }
}

}  // namespace tunelift
