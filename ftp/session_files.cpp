// The session's commands that deal with files and folders: put, mput, cd, lcd.
#include <system_error>

#include "local_files.h"
#include "session.h"
#include "text/utf8_path.h"

namespace tunelift::ftp {

void Session::Put(const std::vector<std::string>& args) {
  if (args.empty()) {
    return Fail("Usage: put local-file [remote-file]");
  }
  if (!RequireLogin()) {
    return;
  }
  const std::filesystem::path local = options_.localFolder / LocalPath(args[0]);
  Send(local, args.size() > 1 ? args[1] : Utf8FromPath(local.filename()));
}

void Session::Mput(const std::vector<std::string>& args) {
  if (args.empty()) {
    return Fail("Usage: mput local-files");
  }
  for (const std::string& pattern : args) {
    if (!RequireLogin()) {
      return;
    }
    SendMatches(pattern);
  }
}

void Session::SendMatches(const std::string& pattern) {
  std::vector<std::filesystem::path> files;
  try {
    files = MatchLocalFiles(options_.localFolder, pattern);
  } catch (const std::filesystem::filesystem_error& error) {
    return Fail(Utf8FromPath(error.path1()) + ": " + error.code().message(), error.code().value());
  }
  if (files.empty()) {
    const std::string none = "No local file matches " + pattern + ".";
    report_.Failure(none, {});
    return Fail(none);
  }
  if (!options_.prompting) {
    // Every file is known to go: the report lists them all from the start.
    for (const std::filesystem::path& file : files) {
      report_.AddFile(Utf8FromPath(file.filename()), LocalSize(file));
    }
  }
  if (!options_.prompting && options_.connections > 1 && options_.transports && files.size() > 1) {
    return SendInParallel(files);
  }
  for (auto file = files.cbegin(); file != files.cend(); ++file) {
    if (!loggedIn_) {
      // Nothing is asked about files that can no longer be sent.
      return ReportNotSent(file, files.cend());
    }
    const std::string name = Utf8FromPath(file->filename());
    const Answer answer =
        options_.prompting ? Confirm(std::string(FolderPart(pattern)) + name) : Answer::Send;
    if (answer == Answer::Stop) {
      return;
    }
    if (answer == Answer::Send) {
      Send(*file, name);  // stored under its own name in the server's current folder
    }
  }
}

void Session::ReportNotSent(std::vector<std::filesystem::path>::const_iterator first,
                            std::vector<std::filesystem::path>::const_iterator last) {
  for (; first != last; ++first) {
    const std::string name = Utf8FromPath(first->filename());
    FailFile(report_.AddFile(name, LocalSize(*first)),
             name + " was not sent: the connection is closed.");
  }
}

Session::Answer Session::Confirm(const std::string& shown) {
  const std::optional<std::string> reply = Ask("mput " + shown + "? ");
  if (!reply) {
    // The end of the input stops; an answer too long to read skips, as any unclear one.
    return input_.AtEnd() ? Answer::Stop : Answer::Skip;
  }
  const std::string answer = Lowercase(*reply);
  if (answer.empty() || answer == "y" || answer == "yes") {
    return Answer::Send;
  }
  if (answer == "q" || answer == "quit") {
    return Answer::Stop;
  }
  if (answer != "n" && answer != "no") {
    console_.Say("Answer y, n or q: " + shown + " is skipped.");
  }
  return Answer::Skip;
}

void Session::Cd(const std::vector<std::string>& args) {
  if (args.empty()) {
    return Fail("Usage: cd remote-folder");
  }
  if (HasControlCharacter(args[0])) {
    return Fail("Refusing a folder name with control characters.");
  }
  if (!RequireLogin()) {
    return;
  }
  try {
    transport_.ChangeDirectory(args[0]);
    folders_.push_back(args[0]);
  } catch (const TransportError& error) {
    Report(error, "to change to " + args[0]);
  }
}

void Session::Lcd(const std::vector<std::string>& args) {
  if (!args.empty()) {
    const std::filesystem::path target =
        (options_.localFolder / LocalPath(args[0])).lexically_normal();
    std::error_code error;
    if (!std::filesystem::is_directory(target, error)) {
      const std::error_code reason =
          error ? error : std::make_error_code(std::errc::not_a_directory);
      return Fail(args[0] + ": " + reason.message(), reason.value());
    }
    options_.localFolder = target;
  }
  console_.Say("Local directory now " + Utf8FromPath(options_.localFolder) + ".");
}

}  // namespace tunelift::ftp
