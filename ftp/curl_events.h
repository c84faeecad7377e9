#pragma once
// libcurl's debug and progress callbacks turned into TransportObserver calls: the server's
// replies line by line, each command sent with its password masked, a new connection when its
// greeting arrives. Keeps whether the control connection was encrypted at the last reply, and
// whether the server agreed to encrypt the data connections (libcurl goes on in clear when
// it refuses PROT P, and tells nobody).
// Until the user name goes out, what a connection shows is held back: the encryption is only
// settled then, and a connection that is tried again leaves no trace. A refused AUTH is not
// shown at all: the encryption line says it once, plainly.
// Internal to the libcurl transport.

#include <curl/curl.h>

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "transport.h"

namespace tunelift::ftp::curl {

// The command as a transcript may show it: a password never.
std::string Masked(std::string_view command);

class Events {
public:
  // `observer` must outlive the object.
  explicit Events(TransportObserver& observer);

  // Installs the callbacks on `easy`, which must not outlive this object. A new connection
  // is announced as one to `host`.
  void Attach(CURL* easy, const std::string& host);
  // Whether the next connection's certificate or key is checked: its encryption is then
  // reported as Verified rather than Unverified.
  void ExpectIdentityChecked(bool checked) { identityChecked_ = checked; }
  // Ends a transfer: shows what was held back and a last reply that had no line end, then
  // raises anything a callback could not (nothing may unwind through libcurl).
  void FinishTransfer();
  // Forgets what a connection that failed before the login showed, so that it can be tried
  // again as if for the first time.
  void DiscardHeld();
  // Forgets the connection, as after it was closed.
  void Reset();
  bool encrypted() const { return encrypted_; }
  bool filesEncrypted() const { return filesEncrypted_; }
  // The server answered PROT P with a refusal.
  bool filesRefused() const { return filesRefused_; }
  // The last complete reply the server sent since the last ForgetReplies (its code and words;
  // code 0 before any), and every reply line since then, to read a reply of several lines.
  const ServerReply& lastReply() const { return lastReply_; }
  const std::vector<std::string>& repliesSinceForget() const { return replies_; }
  void ForgetReplies();
  // The key the server presented, in libcurl's "sha256//BASE64" form; libcurl only says it
  // while it checks a pinned key. Empty when it has not.
  const std::string& presentedKey() const { return presentedKey_; }

private:
  struct Shown {
    enum class Kind { Connected, Reply, Command } kind;
    std::string text;
  };

  static int OnDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* user);
  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t total, curl_off_t now);
  void OnReplyText(CURL* easy, std::string_view text);
  void OnCommandText(CURL* easy, std::string_view text);
  void OnInfoText(std::string_view text);
  // Passes `shown` to the observer, or holds it while the encryption is not settled.
  void Show(Shown shown);
  void Forward(const Shown& shown);
  void ShowHeld();
  void Settle(CURL* easy);

  TransportObserver& observer_;
  std::string host_;
  std::string partialReply_;
  std::vector<Shown> held_;
  std::string presentedKey_;
  ServerReply lastReply_;
  std::vector<std::string> replies_;
  bool greeted_ = false;
  bool settled_ = false;  // the encryption was reported for this session
  bool identityChecked_ = false;
  bool authAsked_ = false;          // an AUTH went out on this connection
  bool authAwaitingReply_ = false;  // the last command was AUTH, and no reply line came yet
  bool hidingAuthRefusal_ = false;  // the lines of a refused AUTH, until the next command
  bool encrypted_ = false;
  bool protectionAsked_ = false;  // PROT P went out; its reply has not come yet
  bool filesEncrypted_ = false;
  bool filesRefused_ = false;
  std::exception_ptr failure_;
};

}  // namespace tunelift::ftp::curl
