#pragma once
// What a failed libcurl transfer means for the session, in words a user knows: which stage it
// ended (a connection that dropped can be tried again; a refusal cannot), the sentence for the
// transcript, and the server's own reply where it gave one. Internal to the libcurl transport.

#include <curl/curl.h>

#include <string>

#include "curl_events.h"
#include "transport.h"

namespace tunelift::ftp::curl {

struct FailedTransfer {
  CURLcode code = CURLE_OK;
  std::string libraryWords;  // libcurl's error buffer, or curl_easy_strerror
  long systemReason = 0;     // errno of the socket call that failed; 0: none known
  bool connected = false;    // a logged-in connection was up when the transfer began
};

struct Server {
  const std::string& host;
  int port;
  long timeoutSeconds;
};

// The error that `failure` raises. `events` tells the server's last reply and the encryption.
TransportError DescribeFailure(const FailedTransfer& failure, const Server& server,
                               const Events& events, TransportError::Stage during);

}  // namespace tunelift::ftp::curl
