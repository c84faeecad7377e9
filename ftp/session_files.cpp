// The session's commands that deal with files and folders: put, mput, cd, lcd.
#include <system_error>

#include "ftp/local_files.h"
#include "ftp/session.h"

namespace tunelift::ftp {
namespace {

// `text` with each control character shown as "?", for a message about a refused name.
std::string Printable(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    c = HasControlCharacter(std::string_view(&c, 1)) ? '?' : c;
  }
  return shown;
}

}  // namespace

void Session::Put(const std::vector<std::string>& args) {
  if (args.empty()) {
    return Fail("Usage: put local-file [remote-file]");
  }
  if (!RequireLogin()) {
    return;
  }
  const std::filesystem::path local = options_.localFolder / LocalPath(args[0]);
  Send(local, args.size() > 1 ? args[1] : local.filename().string());
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
    return Fail(error.path1().string() + ": " + error.code().message(), error.code().value());
  }
  if (files.empty()) {
    return Fail("No local file matches " + pattern + ".");
  }
  for (const std::filesystem::path& file : files) {
    const std::string name = file.filename().string();
    const Answer answer =
        options_.prompting ? Confirm(std::string(FolderPart(pattern)) + name) : Answer::Send;
    if (answer == Answer::Stop || !loggedIn_) {
      return;
    }
    if (answer == Answer::Send) {
      Send(file, name);  // stored under its own name in the server's current folder
    }
  }
}

Session::Answer Session::Confirm(const std::string& shown) {
  const std::optional<std::string> reply = Ask("mput " + shown + "? ");
  if (!reply) {
    return Answer::Stop;
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
    return Fail("Refusing the remote name \"" + Printable(remote) +
                "\": its control characters would be read as FTP commands.");
  }
  console_.BeginFile(remote);
  try {
    console_.EndFile(transport_.Store(local, remote, type_));
  } catch (const TransportError& error) {
    Report(error);
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
  console_.Say("Local directory now " + options_.localFolder.string() + ".");
}

}  // namespace tunelift::ftp
