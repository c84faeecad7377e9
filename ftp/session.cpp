#include "session.h"

#include <charconv>
#include <utility>

#include "terminal.h"

namespace tunelift::ftp {
namespace {

constexpr int kDefaultPort = 21;

std::optional<int> ParsePort(const std::string& text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  const bool valid = error == std::errc() && end == text.data() + text.size();
  return valid && port > 0 && port < 65536 ? std::optional<int>(port) : std::nullopt;
}

// The command as the transcript shows it: a password given to "user" is never echoed.
std::string Shown(const std::string& line, Verb verb, const std::vector<std::string>& words) {
  return verb == Verb::User && words.size() > 2 ? words[0] + " " + words[1] + " ****" : line;
}

}  // namespace

Session::Session(Transport& transport, Console& console, LineReader& input, SendReport& report,
                 SessionOptions options)
    : transport_(transport),
      console_(console),
      input_(input),
      report_(report),
      options_(std::move(options)) {}

int Session::Run(const std::string& host) {
  if (!host.empty()) {
    Open({host});
  }
  while (!done_) {
    if (options_.interactive) {
      console_.Ask("ftp> ");
    }
    std::optional<std::string> line;
    try {
      line = input_.NextNonBlank();
    } catch (const LineTooLong& error) {
      Fail(error.what());  // as for any invalid command: the next one runs
      continue;
    }
    if (!line) {
      break;
    }
    RunCommand(*line);
  }
  Disconnect();
  return failed_ ? 1 : 0;
}

void Session::RunCommand(const std::string& line) {
  std::vector<std::string> words = SplitWords(line);
  const VerbLookup lookup = FindVerb(words.front());
  if (!options_.interactive) {
    console_.Echo(Shown(line, lookup.verb, words));
  }
  if (lookup.result == VerbLookup::Result::Unknown) {
    Fail("Invalid command.");
  } else if (lookup.result == VerbLookup::Result::Ambiguous) {
    Fail("Ambiguous command.");
  } else {
    words.erase(words.begin());
    Dispatch(lookup.verb, words);
  }
}

void Session::Dispatch(Verb verb, const std::vector<std::string>& args) {
  switch (verb) {
    case Verb::Open: return Open(args);
    case Verb::User: return User(args);
    case Verb::Prompt:
      options_.prompting = !options_.prompting;
      return console_.Say(options_.prompting ? "Interactive mode On ." : "Interactive mode Off .");
    case Verb::Binary: return SetType(TransferType::Binary);
    case Verb::Ascii: return SetType(TransferType::Ascii);
    case Verb::Type: return Type(args);
    case Verb::Put: return Put(args);
    case Verb::Mput: return Mput(args);
    case Verb::Cd: return Cd(args);
    case Verb::Lcd: return Lcd(args);
    case Verb::Close:
      if (!open_) {
        return Fail("Not connected.");
      }
      return Disconnect();
    case Verb::Bye: done_ = true; return;
    case Verb::Help: return Help();
  }
}

void Session::Open(const std::vector<std::string>& args) {
  if (open_) {
    return Fail("Already connected to " + host_ + ", use close first.");
  }
  const std::optional<std::string> host = args.empty() ? Ask("To ") : args[0];
  const std::optional<int> port = args.size() > 1 ? ParsePort(args[1]) : kDefaultPort;
  if (!host || host->empty() || !port) {
    Fail("Usage: open host-name [port]");
    return SkipLoginLines();
  }
  const std::string pinnedKey = options_.pin.KeyFor(*host);
  if (!pinnedKey.empty() && !transport_.CanEncrypt()) {
    Fail("This build pins the key of " + *host +
         "'s server and so requires encryption, but "
         "this FTP client cannot encrypt: nothing was sent, not even the user name.");
    return SkipLoginLines();
  }
  endpoint_ = {.host = *host, .port = *port, .pinnedKey = pinnedKey};
  folders_.clear();
  typeSet_ = false;
  report_.Server(*host);
  try {
    transport_.Open(endpoint_);
  } catch (const TransportError& error) {
    Report(error);
    return SkipLoginLines();
  }
  open_ = true;
  host_ = *host;
  if (!transport_.CanEncrypt()) {
    // Said before the password is asked for, at a terminal as in a script.
    console_.OnControlEncryption(ControlEncryption::Unsupported);
  }
  if (options_.autoLogin) {
    const std::optional<std::string> user = AskUser("User (" + host_ + ":(none)): ");
    // The password line belongs to the login even when the user name was unusable.
    LogIn(user, user || !input_.AtEnd() ? AskPassword() : std::nullopt);
  }
}

void Session::SkipLoginLines() {
  if (options_.autoLogin) {
    // The user name and the password after "open" belong to its login: never commands.
    ReadAnswer();
    ReadAnswer();
  }
}

void Session::User(const std::vector<std::string>& args) {
  if (!open_) {
    return Fail("Not connected.");
  }
  const std::optional<std::string> user = args.empty() ? AskUser("Username ") : args[0];
  LogIn(user, args.size() > 1 ? args[1] : AskPassword());
}

void Session::LogIn(const std::optional<std::string>& user,
                    const std::optional<std::string>& password) {
  if (!user || !password || user->empty()) {
    Fail("Login failed: no user name or password.");
    return Disconnect();
  }
  if (HasControlCharacter(*user) || HasControlCharacter(*password)) {
    Fail(
        "Refusing a user name or password that holds control characters: they would be read "
        "as further FTP commands. Nothing was sent.");
    return Disconnect();
  }
  try {
    transport_.Login(*user, *password);
  } catch (const TransportError& error) {
    Report(error);
    if (error.stage() == TransportError::Stage::Login) {
      console_.Say("Login failed.");
    }
    return;
  }
  loggedIn_ = true;
  user_ = *user;
  password_ = *password;
  report_.FilesEncryption(transport_.EncryptionInUse());
  console_.ShowWaiting();
  // How the commands go was said before the user name went out; the files' part is only
  // known now.
  if (transport_.EncryptionInUse() == Encryption::CommandsOnly) {
    console_.Say(
        "The commands and the password are encrypted (TLS), but the server refused "
        "to encrypt the files (PROT P): they go as plain FTP.");
  }
}

void Session::SetType(TransferType type) {
  if (!RequireLogin()) {
    return;
  }
  try {
    transport_.SetType(type);
    type_ = type;
    typeSet_ = true;
  } catch (const TransportError& error) {
    Report(error, type == TransferType::Binary ? "TYPE I" : "TYPE A");
  }
}

void Session::Type(const std::vector<std::string>& args) {
  if (args.empty()) {
    const bool binary = type_ == TransferType::Binary;
    return console_.Say(std::string("Using ") + (binary ? "binary" : "ascii") +
                        " mode to transfer files.");
  }
  const std::string mode = Lowercase(args[0]);
  if (mode == "binary" || mode == "image" || mode == "i") {
    SetType(TransferType::Binary);
  } else if (mode == "ascii" || mode == "a") {
    SetType(TransferType::Ascii);
  } else {
    Fail(args[0] + ": unknown mode.");
  }
}

void Session::Help() {
  std::string names;
  for (const CommandName& command : CommandNames()) {
    names += std::string(command.name) + " ";
  }
  console_.Say("Commands may be abbreviated.  Commands are:");
  console_.Say(names);
}

std::optional<std::string> Session::Ask(const std::string& question) {
  if (options_.interactive) {
    console_.Ask(question);
  } else {
    console_.Say(question);
  }
  return ReadAnswer();
}

std::optional<std::string> Session::ReadAnswer() {
  try {
    return input_.Next();
  } catch (const LineTooLong& error) {
    Fail(error.what());
    return std::nullopt;
  }
}

std::optional<std::string> Session::AskUser(const std::string& question) {
  if (options_.interactive) {
    return Ask(question);
  }
  console_.ShowBefore("USER", question);
  return ReadAnswer();
}

std::optional<std::string> Session::AskPassword() {
  if (!options_.interactive) {
    console_.ShowBefore("PASS", "Password:");
    return ReadAnswer();
  }
  std::optional<std::string> password;
  {
    HiddenTyping hidden;
    password = Ask("Password:");
  }
  // The Enter that ended the hidden answer did not show either.
  console_.Say("");
  return password;
}

bool Session::RequireLogin() {
  if (!open_) {
    Fail("Not connected.");
  } else if (!loggedIn_) {
    Fail("Not logged in.");
  }
  return loggedIn_;
}

void Session::Disconnect() {
  if (open_) {
    transport_.Close();
  }
  open_ = false;
  loggedIn_ = false;
  // After this connection's goodbye, so that theirs and its own overlap.
  EndExtras();
}

void Session::Fail(const std::string& text) {
  failed_ = true;
  console_.Error(text);
}

void Session::Fail(const std::string& text, int number) {
  Fail(text + " (error " + std::to_string(number) + ")");
}

void Session::Report(const TransportError& error, const std::string& refused) {
  const std::string sentence = Sentence(error, refused);
  report_.Failure(sentence, error.reply());
  Fail(sentence);
  DisconnectAfter(error);
}

std::string Session::Sentence(const TransportError& error, const std::string& refused) {
  using Stage = TransportError::Stage;
  const ServerReply& reply = error.reply();
  if (error.stage() == Stage::Login && reply.code != 0) {
    // Every transport's refusal of a login reads alike, in the server's own words.
    return "The password was not accepted (" + std::to_string(reply.code) + " " + reply.text + ").";
  }
  if (error.stage() == Stage::Command && reply.code >= 400 && !refused.empty()) {
    return "The server refused " + refused + ": " + std::to_string(reply.code) + " " + reply.text;
  }
  const bool libraryWords = error.stage() == Stage::Command || error.stage() == Stage::Local;
  return libraryWords ? std::string(error.what()) + " (error " + std::to_string(error.code()) + ")"
                      : std::string(error.what());
}

void Session::DisconnectAfter(const TransportError& error) {
  using Stage = TransportError::Stage;
  const bool sessionLost = error.stage() == Stage::Connect || error.stage() == Stage::Login ||
                           error.stage() == Stage::Dropped;
  if (sessionLost) {
    Disconnect();
  }
}

}  // namespace tunelift::ftp
