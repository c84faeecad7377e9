#include "core/staging_area.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/error.h"
#include "listing/listing.h"
#include "text/path_split.h"
#include "text/utf8_path.h"

namespace tunelift {
namespace {

// Far more sends than any folder keeps; past it, something other than sends holds the names.
constexpr int kMostSendNumbers = 100000;
// How long a send that has ended is left to the window that started it.
constexpr auto kOwnersTurn = std::chrono::seconds(5);

}  // namespace

std::string UploadScriptText(const ServerSettings& server) {
  // Appended line by line: a chain of temporaries is taken for an overlapping copy by the
  // Windows release build's -O3.
  std::string open = "open " + server.host;
  if (server.port) {
    open += ' ';
    open += std::to_string(*server.port);
  }
  // The client starts in ASCII mode, which would rewrite line-end bytes inside the music:
  // "binary" comes before the upload. The upload line is in the client's own dialect.
  const std::string upload =
      "mput " + std::string(kStagingFolderName) + "\\" + std::string(kMusicPattern);
  std::string script;
  for (const std::string_view line :
       {std::string_view("prompt"), std::string_view(open), std::string_view(server.user),
        std::string_view(server.password), std::string_view("binary"), std::string_view(upload)}) {
    script += line;
    script += "\r\n";
  }
  script += "bye";
  return script;
}

StagingArea::StagingArea(FileServices& services, ServerSettings server)
    : services_(services), server_(std::move(server)) {}

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
  script->WriteLine(UploadScriptText(server_));
  script->Close();
}

std::string StagingArea::StagedName(const std::string& chosenPath) const {
  const char separator = services_.Separator();
  return std::string(SplitFolderAndName(chosenPath, std::string_view(&separator, 1)).name);
}

void StagingArea::StageFile(const std::string& chosenPath, const CopyOptions& options) {
  services_.FileCopy(chosenPath, StagingFolder() + services_.Separator() + StagedName(chosenPath),
                     options);
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
  // Another window's Finish removes the script this window wrote at its start; its content
  // is fixed, so it is written again rather than the client started on nothing.
  if (!services_.EntryExists(InProgramFolder(kUploadScriptName))) {
    WriteUploadScript();
  }
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
  if (std::ranges::any_of(uploads_, [](Upload& upload) { return upload.client->Running(); })) {
    return true;
  }
  return std::ranges::any_of(SendsInFolder(), [this](const SendFiles& files) {
    return services_.OutputHeld(files.transcript);
  });
}

std::optional<UploadReport> StagingArea::RunningSendReport() {
  const std::optional<SendFiles> running = RunningSend();
  if (!running) {
    return std::nullopt;
  }
  try {
    return ParseUploadReport(ReadReportFile(running->report));
  } catch (const Error&) {
    // Not written yet, or caught between two writes on another system: the next look tells.
    return std::nullopt;
  }
}

std::vector<StagingArea::SendFiles> StagingArea::SendsInFolder() const {
  const std::string pattern = std::string(kTranscriptPrefix) + "*" + std::string(kTranscriptSuffix);
  std::vector<std::string> names;
  try {
    names = ListMatching(PathFromUtf8(services_.ProgramFolder()), pattern);
  } catch (const std::filesystem::filesystem_error&) {
    return {};  // a folder that cannot be read holds no send that could be told
  }
  std::vector<SendFiles> sends;
  for (const std::string& name : names) {
    const std::string stem = name.substr(0, name.size() - kTranscriptSuffix.size());
    sends.push_back({InProgramFolder(name), InProgramFolder(stem + std::string(kReportSuffix))});
  }
  return sends;
}

bool StagingArea::SendsToTell() {
  // This object's own sends are told by TakeEndedUploads, also one that ended just now.
  if (!uploads_.empty()) {
    return true;
  }
  return std::ranges::any_of(SendsInFolder(), [this](const SendFiles& files) {
    return !Started(files) && services_.EntryExists(files.report) &&
           !services_.OutputHeld(files.transcript);
  });
}

bool StagingArea::Started(const SendFiles& files) const {
  return std::ranges::any_of(uploads_, [&files](const Upload& upload) {
    return upload.files.transcript == files.transcript;
  });
}

bool StagingArea::MarkTold(const SendFiles& files) const {
  // Renaming is the claim: of several windows, the one whose rename succeeds tells.
  std::error_code error;
  std::filesystem::rename(PathFromUtf8(files.report), PathFromUtf8(ToldReport(files)), error);
  return !error;
}

std::string StagingArea::ToldReport(const SendFiles& files) {
  return files.report.substr(0, files.report.size() - kReportSuffix.size()) +
         std::string(kReportToldSuffix);
}

std::optional<UploadOutcome> StagingArea::ClaimEnded(const SendFiles& files) {
  if (Started(files) || !services_.EntryExists(files.report) ||
      services_.OutputHeld(files.transcript)) {
    return std::nullopt;
  }
  // The window that started a send tells it within a tick of its timer; another one waits
  // long enough not to tell it twice, and tells it when that window has gone.
  std::error_code error;
  const auto written = std::filesystem::last_write_time(PathFromUtf8(files.report), error);
  if (error || std::filesystem::file_time_type::clock::now() - written < kOwnersTurn) {
    return std::nullopt;
  }
  if (!MarkTold(files)) {
    return std::nullopt;
  }
  const std::string told = ToldReport(files);
  UploadOutcome outcome = ReadUploadOutcome(-1, told, files.transcript);
  if (outcome.report && outcome.report->exitStatus) {
    outcome.exitStatus = static_cast<int>(*outcome.report->exitStatus);
  }
  return outcome;
}

std::vector<UploadOutcome> StagingArea::TakeEndedUploads() {
  std::vector<UploadOutcome> outcomes;
  std::erase_if(uploads_, [this, &outcomes](Upload& upload) {
    if (upload.client->Running()) {
      return false;
    }
    outcomes.push_back(ReadUploadOutcome(upload.client->ExitStatus(), upload.files.report,
                                         upload.files.transcript));
    outcomes.back().stopped = upload.stopped;
    // Told by this window: no other takes it again.
    MarkTold(upload.files);
    return true;
  });
  for (const SendFiles& files : SendsInFolder()) {
    if (std::optional<UploadOutcome> outcome = ClaimEnded(files)) {
      outcomes.push_back(std::move(*outcome));
    }
  }
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
  // Another window's, or one from before a restart.
  for (const SendFiles& files : SendsInFolder()) {
    if (services_.OutputHeld(files.transcript)) {
      return files;
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
  RefuseWhileSending("The FTP client is still sending from the staging folder '" + staging + "'.");
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
  for (const std::string_view suffix :
       {kTranscriptSuffix, kReportSuffix, kReportScratchSuffix, kReportToldSuffix}) {
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
