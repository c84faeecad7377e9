// The session's commands that deal with files and folders: put, mput, cd, lcd.
#include <system_error>

#include "ftp/local_files.h"
#include "ftp/session.h"
#include "listing/utf8_path.h"

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
    return Fail("No local file matches " + pattern + ".");
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
    Fail(Utf8FromPath(first->filename()) + " was not sent: the connection is closed.");
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

void Session::Send(const std::filesystem::path& local, const std::string& remote) {
  if (HasControlCharacter(remote)) {
    return Fail("Refusing the remote name \"" + remote +
                "\": its control characters would be read as FTP commands.");
  }
  console_.BeginFile(remote);
  try {
    console_.EndFile(transport_.Store(local, remote, type_));
  } catch (const TransportError& error) {
    Report(error, remote + " was not sent: ");
  }
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
  } catch (const TransportError& error) {
    Report(error);
  }
}

void Session::Lcd(const std::vector<std::string>& args) {
  if (!args.empty()) {
    const std::filesystem::path target = (options_.localFolder / LocalPath(args[0])).lexically_normal();
    std::error_code error;
    if (!std::filesystem::is_directory(target, error)) {
      const std::error_code reason = error ? error : std::make_error_code(std::errc::not_a_directory);
      return Fail(args[0] + ": " + reason.message(), reason.value());
    }
    options_.localFolder = target;
  }
  console_.Say("Local directory now " + Utf8FromPath(options_.localFolder) + ".");
}

}  // namespace tunelift::ftp
