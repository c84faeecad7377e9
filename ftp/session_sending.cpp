// Sending one file: the store, a new connection and a resume after a drop, and the check of
// what the server holds afterwards.
#include <thread>

#include "local_files.h"
#include "session.h"
#include "terminal.h"
#include "text/utf8_path.h"

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;

std::string Seconds(std::chrono::milliseconds wait) {
  const auto tenths = (wait.count() + 50) / 100;
  // Appended piece by piece: GCC's -O3 warns wrongly about a chain of temporaries here.
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10 != 0) {
    text += '.';
    text += std::to_string(tenths % 10);
  }
  text += " s";
  return text;
}

}  // namespace

void Session::Send(const std::filesystem::path& local, const std::string& remote) {
  const std::size_t entry = report_.AddFile(remote, LocalSize(local));
  if (HasControlCharacter(remote)) {
    return FailFile(entry, "Refusing the remote name \"" + remote +
                               "\": its control characters would be read as FTP commands.");
  }
  console_.BeginFile(remote);
  SendVerified(local, remote, entry);
}

bool Session::SendVerified(const std::filesystem::path& local, const std::string& remote,
                           std::size_t entry) {
  std::size_t drops = 0;
  bool sentAgain = false;  // the one new try after the server held a wrong copy
  std::int64_t offset = 0;
  while (true) {
    try {
      const LocalStamp before = StampOf(local);
      report_.Sending(entry, offset);
      const StoreResult result = offset > 0 && offset == before.size
                                     ? StoreResult{}  // the server's copy was already whole
                                     : transport_.Store(local, remote, type_, offset);
      if (StampOf(local) != before) {
        FailFile(entry, remote + " changed while it was sent.");
        DeleteWrongCopy(remote);
        return false;
      }
      std::int64_t held = 0;
      const Check check = Verify(remote, before.size, offset + result.bytesSent, held);
      if (check == Check::Mismatch && !sentAgain) {
        console_.Say("The server holds " + std::to_string(held) + " bytes of " + remote +
                     ", which has " + std::to_string(before.size) + ": sending it again.");
        sentAgain = true;
        offset = 0;
        continue;
      }
      if (check == Check::Mismatch) {
        FailFile(entry, "The server holds " + std::to_string(held) + " bytes of " + remote +
                            ", which has " + std::to_string(before.size) +
                            ": it was not stored whole.");
        DeleteWrongCopy(remote);
        return false;
      }
      console_.EndFile(result);
      if (check == Check::NotVerified) {
        console_.Say(remote + " was sent, not verified: the server does not tell its size.");
      }
      report_.Sent(entry, held, check == Check::Verified);
      return true;
    } catch (const TransportError& error) {
      if (error.stage() != Stage::Dropped) {
        const bool refused = error.stage() == Stage::Command && error.reply().code >= 400;
        FailFile(entry,
                 refused ? Sentence(error, remote)
                         : remote + " was not sent: " + Sentence(error, remote),
                 error.reply());
        DisconnectAfter(error);
        return false;
      }
      if (!Reconnect(drops, remote, entry)) {
        return false;
      }
      offset = ResumeOffset(remote, LocalSize(local));
    }
  }
}

Session::Check Session::Verify(const std::string& remote, std::int64_t localSize,
                               std::int64_t wireBytes, std::int64_t& held) {
  const std::optional<std::int64_t> size = transport_.RemoteSize(remote);
  if (!size) {
    held = wireBytes;
    return Check::NotVerified;
  }
  held = *size;
  // In ASCII mode a server may store the line ends as they came over the wire or as its own;
  // in binary mode only the local file's own size will do.
  const bool asSent = type_ == TransferType::Ascii && held == wireBytes;
  return held == localSize || asSent ? Check::Verified : Check::Mismatch;
}

bool Session::Reconnect(std::size_t& attempt, const std::string& remote, std::size_t entry) {
  const std::size_t attempts = options_.reconnectWaits.size();
  Disconnect();
  while (attempt < attempts) {
    const std::chrono::milliseconds wait = options_.reconnectWaits[attempt];
    ++attempt;
    console_.Say("The connection dropped while " + remote + " was sent; connecting again in " +
                 Seconds(wait) + " (try " + std::to_string(attempt) + " of " +
                 std::to_string(attempts) + ").");
    std::this_thread::sleep_for(wait);
    try {
      Reestablish();
      return true;
    } catch (const TransportError& error) {
      Disconnect();
      if (error.stage() == Stage::Login) {
        const std::string reason = Sentence(error, {});
        GiveUpFile(entry, remote,
                   {.failure = remote + " was not sent: " + reason,
                    .reason = reason,
                    .reply = error.reply()});
        return false;
      }
      console_.Say(Sentence(error, {}));
    }
  }
  const std::string dropped = "The connection dropped while " + remote + " was sent; tried again " +
                              std::to_string(attempts) + " times.";
  GiveUpFile(entry, remote, {.failure = dropped, .reason = dropped});
  return false;
}

void Session::Reestablish() {
  transport_.Open(endpoint_);
  open_ = true;
  transport_.Login(user_, password_);
  loggedIn_ = true;
  for (const std::string& folder : folders_) {
    transport_.ChangeDirectory(folder);
  }
  if (typeSet_) {
    transport_.SetType(type_);
  }
}

std::int64_t Session::ResumeOffset(const std::string& remote, std::int64_t localSize) {
  if (type_ != TransferType::Binary) {
    // A server may store ASCII line ends its own way: its count of bytes is no place in the
    // local file.
    console_.Say(remote +
                 " is sent again from the start (in ASCII mode the server's copy "
                 "cannot be matched byte for byte).");
    return 0;
  }
  const std::optional<std::int64_t> held = transport_.RemoteSize(remote);
  if (!held || *held <= 0 || *held > localSize) {
    console_.Say(remote + " is sent again from the start.");
    return 0;
  }
  if (!transport_.ResumeOffered()) {
    console_.Say("The server cannot resume a file (no REST STREAM): " + remote +
                 " is sent again from the start.");
    return 0;
  }
  console_.Say("Resuming " + remote + " at byte " + std::to_string(*held) + " of " +
               std::to_string(localSize) + ".");
  return *held;
}

void Session::DeleteWrongCopy(const std::string& remote) {
  if (!loggedIn_) {
    return;
  }
  try {
    transport_.Delete(remote);
    console_.Say("The server's incomplete copy of " + remote + " was deleted.");
  } catch (const TransportError& error) {
    console_.Say("The server's incomplete copy of " + remote +
                 " could not be deleted: " + Sentence(error, {}));
    DisconnectAfter(error);
  }
}

void Session::GiveUpFile(std::size_t entry, const std::string& remote, const GivenUp& why) {
  if (!inParallel_) {
    return FailFile(entry, why.failure, why.reply);
  }
  // Another connection of the mput may still send it: this one only is gone.
  console_.Say("Connection " + std::to_string(connection_) + " cannot come back, so " + remote +
               " goes to the other connections: " + why.reason);
  report_.Waiting(entry);
  gaveBack_ = true;
}

void Session::FailFile(std::size_t entry, const std::string& text, const ServerReply& reply) {
  report_.Failed(entry, text, reply);
  Fail(text);
}

}  // namespace tunelift::ftp
