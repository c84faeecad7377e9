#pragma once
// libcurl's debug and progress callbacks turned into TransportObserver calls: the server's
// replies line by line, each command sent with its password masked, a new connection when its
// greeting arrives. Keeps whether the control connection was encrypted at the last reply, and
// whether the server agreed to encrypt the data connections (libcurl goes on in clear when
// it refuses PROT P, and tells nobody).
// Internal to the libcurl transport.

#include <curl/curl.h>

#include <exception>
#include <string>
#include <string_view>

#include "ftp/transport.h"

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
  // Ends a transfer: reports a last reply that had no line end, then raises anything a
  // callback could not (nothing may unwind through libcurl).
  void FinishTransfer();
  // Forgets the connection, as after it was closed.
  void Reset();
  bool encrypted() const { return encrypted_; }
  bool filesEncrypted() const { return filesEncrypted_; }

private:
  static int OnDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* user);
  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t total, curl_off_t now);
  void OnReplyText(CURL* easy, std::string_view text);
  void OnCommandText(std::string_view text);

  TransportObserver& observer_;
  std::string host_;
  std::string partialReply_;
  bool greeted_ = false;
  bool encrypted_ = false;
  bool protectionAsked_ = false;  // PROT P went out; its reply has not come yet
  bool filesEncrypted_ = false;
  std::exception_ptr failure_;
};

}  // namespace tunelift::ftp::curl
