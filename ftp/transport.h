#pragma once
// The FTP conversation as the script's commands need it, apart from whatever speaks it
// (libcurl here; the platform's own FTP API could sit beside it).
// Error policy: an operation that fails throws TransportError, which carries the transport's
// own number and a description for the transcript; nothing is reported through return values.
// What the server says arrives meanwhile through the TransportObserver given at construction.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tunelift::ftp {

enum class TransferType { Ascii, Binary };

// What of a session goes encrypted: the commands (control connection), the files (data
// connections, which a server may leave in clear by refusing PROT P), both or neither.
enum class Encryption { None, CommandsOnly, Everything };

// How a connection's commands, the user name and the password among them, travel: settled
// before the user name goes out.
enum class ControlEncryption {
  Verified,         // encrypted, and the server proved who it is (a certificate the system
                    // trusts for the host's name, or the pinned key)
  Unverified,       // encrypted, but the certificate is self-signed or from an unknown authority
  RefusedByServer,  // in clear: the server did not accept AUTH TLS (refused, or it was
                    // stripped on the way: the client cannot tell which)
  Unsupported,      // in clear: this transport cannot encrypt (the session says so itself)
};

// The server a connection goes to, and what it must prove.
struct Endpoint {
  std::string host;
  int port = 21;
  // From ServerPin::KeyFor. Set: the connection must be encrypted throughout and the server
  // must present this key, or the transport sends nothing, not even the user name. A
  // transport that cannot encrypt is never given one.
  std::string pinnedKey = {};
  // The server refused encryption (AUTH TLS) on the session's first connection: one more
  // connection of the session goes in clear as that one did, without asking again. Never set
  // with a pinned key; a transport that cannot encrypt ignores it.
  bool encryptionRefused = false;
};

// The server's answer to a command: its three-digit code (0: no answer came) and its words,
// the last line of the reply without the code.
struct ServerReply {
  int code = 0;
  std::string text;
};

class TransportError : public std::runtime_error {
public:
  // Where the operation stopped. The session is only usable after a Command or Local failure.
  // Dropped: a connection that was up was lost (reset, closed, a 421 or 426 reply, a transfer
  // that stalled), so trying again may work; Connect: no connection was made at all.
  enum class Stage { Connect, Login, Command, Local, Dropped };

  TransportError(Stage stage, int code, const std::string& description, ServerReply reply = {});

  Stage stage() const noexcept { return stage_; }
  // The transport's own number (CURLcode, errno, ...).
  int code() const noexcept { return code_; }
  // What the server answered to the command that failed; code 0 when it did not answer.
  const ServerReply& reply() const noexcept { return reply_; }

private:
  Stage stage_;
  int code_;
  ServerReply reply_;
};

// What a transport reports while it works. Called on the caller's thread, from inside the
// transport's operations.
class TransportObserver {
public:
  virtual ~TransportObserver() = default;
  // A new control connection to `host` was made (before its greeting arrives).
  virtual void OnConnected(std::string_view host) = 0;
  // One line the server sent, without its line end.
  virtual void OnReply(std::string_view line) = 0;
  // One command sent to the server; a password in it is already masked.
  virtual void OnCommandSent(std::string_view line) = 0;
  // Once per session, after the connection's greeting and before the user name goes out. A
  // transport that cannot encrypt reports nothing: the session says so before the login.
  virtual void OnControlEncryption(ControlEncryption encryption) = 0;
  // Bytes of the current upload on the wire so far, and the expected total (0: unknown).
  virtual void OnProgress(std::int64_t sent, std::int64_t total) = 0;
};

struct StoreResult {
  std::int64_t bytesSent = 0;  // as they went over the wire
  double seconds = 0;
};

class Transport {
public:
  virtual ~Transport() = default;

  // Whether this transport can encrypt at all (explicit TLS). One that cannot is never asked
  // to reach a server whose key the build pins.
  virtual bool CanEncrypt() const = 0;
  // Names the server that the next Login reaches. A transport may connect here already;
  // libcurl's connects on Login, as the login is part of its connection.
  virtual void Open(const Endpoint& server) = 0;
  // Connects when needed and logs in. On failure the transport is closed again.
  virtual void Login(const std::string& user, const std::string& password) = 0;
  // What of the logged-in session is encrypted; None before a login.
  virtual Encryption EncryptionInUse() const = 0;
  // Tells the server the type of the transfers that follow.
  virtual void SetType(TransferType type) = 0;
  // Makes `folder` (relative, or absolute from "/") the server's current folder.
  virtual void ChangeDirectory(const std::string& folder) = 0;
  // Sends the local file under `remoteName` into the server's current folder. With an
  // `offset` (only where ResumeOffered), the bytes from `offset` on go after "REST offset",
  // added to what the server holds; StoreResult counts the bytes that went this time.
  virtual StoreResult Store(const std::filesystem::path& local, const std::string& remoteName,
                            TransferType type, std::int64_t offset = 0) = 0;
  // The size of `remoteName` in the server's current folder, from SIZE; nullopt when the
  // server gives none (no such file, or no SIZE command). Throws only when the connection
  // fails.
  virtual std::optional<std::int64_t> RemoteSize(const std::string& remoteName) = 0;
  // Whether the server's FEAT lists "REST STREAM", so that a store can resume. Asked of the
  // server once per login, the first time it matters.
  virtual bool ResumeOffered() = 0;
  // Deletes `remoteName` in the server's current folder (DELE).
  virtual void Delete(const std::string& remoteName) = 0;
  // Ends the session politely when there is one. Never fails.
  virtual void Close() noexcept = 0;
};

// Makes a transport that reports to `observer`; the observer outlives it. main picks the
// platform's (libcurl or WinINet); tests pass their own. A parallel mput makes one per
// connection, each used by one thread only.
using TransportMaker = std::function<std::unique_ptr<Transport>(TransportObserver& observer)>;

}  // namespace tunelift::ftp
