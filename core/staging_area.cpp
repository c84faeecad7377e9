#include "staging_area.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "error.h"
#include "listing/listing.h"
#include "listing/utf8_path.h"

namespace tunelift {
namespace {

constexpr std::string_view kUser = "DeckHopper";
constexpr std::string_view kPassword = "MovingTracks";
// Far more sends than any folder keeps; past it, something other than sends holds the names.
constexpr int kMostSendNumbers = 100000;

}  // namespace

std::string UploadScriptText(std::string_view host) {
  // The client starts in ASCII mode, which would rewrite line-end bytes inside the music:
  // "binary" comes before the upload. The upload line is in the client's own dialect.
  return "prompt\r\nopen " + std::string(host) + "\r\n" + std::string(kUser) + "\r\n" +
         std::string(kPassword) + "\r\nbinary\r\nmput " + std::string(kStagingFolderName) +
         "\\" + std::string(kMusicPattern) + "\r\nbye";
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
  for (int number = 1; number <= kMostSendNumbers; ++number) {
    const SendFiles files = SendFilesNumbered(number);
    if (services_.EntryExists(files.transcript) || services_.EntryExists(files.report)) {
      continue;
    }
    std::unique_ptr<RunningProgram> client = StartClientOn(files);
    if (client) {
      uploads_.push_back({std::move(client), files});
      return;
    }
  }
  throw Error(errnum::kFileExists,
              "Every name for a send transcript, from '" + SendFilesNumbered(1).transcript +
                  "' to '" + SendFilesNumbered(kMostSendNumbers).transcript + "', is taken.");
}

StagingArea::SendFiles StagingArea::SendFilesNumbered(int number) const {
  const std::string stem = std::string(kTranscriptPrefix) + std::to_string(number);
  return {InProgramFolder(stem + std::string(kTranscriptSuffix)),
          InProgramFolder(stem + std::string(kReportSuffix))};
}

std::unique_ptr<RunningProgram> StagingArea::StartClientOn(const SendFiles& files) {
  try {
    return services_.Shell(
        std::string(kClientCommandLine), WindowStyle::MinimizedFocus,
        {.outputFile = files.transcript,
         .environment = {{.name = std::string(kReportVariable), .value = files.report}}});
  } catch (const Error& error) {
    // The transcript is made only where nothing has its name: another window took it
    // between the look and the start.
    if (error.number() != errnum::kFileExists) {
      throw;
    }
    return nullptr;
  }
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
    outcomes.push_back(ReadUploadOutcome(upload.client->ExitStatus(), upload.files.report,
                                         upload.files.transcript));
    outcomes.back().stopped = upload.stopped;
    return true;
  });
  if (outcomes.empty()) {
    return outcomes;
  }
  // Looked at now, not when the send started: the user may have deleted the files meanwhile.
  try {
    const bool staged = MusicStaged();
    for (UploadOutcome& outcome : outcomes) {
      outcome.musicStaged = staged;
    }
  } catch (const Error& error) {
    for (UploadOutcome& outcome : outcomes) {
      outcome.stagingError = error;
    }
  }
  return outcomes;
}

std::optional<StagingArea::SendFiles> StagingArea::RunningSend() {
  for (auto upload = uploads_.rbegin(); upload != uploads_.rend(); ++upload) {
    if (upload->client->Running()) {
      return upload->files;
    }
  }
  return std::nullopt;
}

void StagingArea::StopUploads() {
  std::optional<Error> firstFailure;
  for (Upload& upload : uploads_) {
    if (!upload.client->Running()) {
      continue;  // ended on its own: it is told as it ended
    }
    try {
      upload.client->Stop();
      upload.stopped = true;
    } catch (const Error& error) {
      if (!firstFailure) {
        firstFailure = error;
      }
    }
  }
  if (firstFailure) {
    throw *firstFailure;
  }
}

bool StagingArea::MusicStaged() const {
  const std::string staging = StagingFolder();
  try {
    return !ListMatching(PathFromUtf8(staging), kMusicPattern).empty();
  } catch (const std::filesystem::filesystem_error& error) {
    if (error.code() == std::errc::no_such_file_or_directory) {
      return false;
    }
    throw Error(errnum::kPathFileAccess,
                "Cannot read the staging folder '" + staging + "': " + error.code().message());
  }
}

bool StagingArea::RemoveStagingFolder() {
  const std::string staging = StagingFolder();
  // On Windows the deletion would fail part-way on the file being sent; here it would pull
  // the songs not yet sent from under the client. Either way nothing is deleted.
  RefuseWhileSending("The FTP client is still sending from the staging folder '" + staging +
                     "'.");
  if (!services_.FolderExists(staging)) {
    return false;
  }
  services_.DeleteFolder(staging);
  return true;
}

void StagingArea::RemoveUploadScript() {
  RefuseWhileSending("The FTP client is still writing its transcript and report in '" +
                     services_.ProgramFolder() + "'.");
  KillIfThere(InProgramFolder(kUploadScriptName));
  // Every send's files, also those of earlier runs that ended without "Finish!", and the
  // scratch copy of a report whose client was stopped while it wrote.
  for (const std::string_view suffix : {kTranscriptSuffix, kReportSuffix, kReportScratchSuffix}) {
    KillIfThere(InProgramFolder(std::string(kTranscriptPrefix) + "*" + std::string(suffix)));
  }
}

void StagingArea::RefuseWhileSending(const std::string& what) {
  if (UploadRunning()) {
    throw Error(errnum::kFileAlreadyOpen, what);
  }
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
