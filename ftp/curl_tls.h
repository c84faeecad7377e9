#pragma once
// Explicit TLS (AUTH TLS) for the libcurl transport: how a connection asks for it and checks
// the server, and what the transcript says when that stops a connection.
//   - No pinned key: encryption wherever the server offers it. The certificate is checked
//     against the system's authorities and the host's name first; a server that fails that
//     check is reached again without it, encrypted all the same (opportunistic encryption).
//   - A pinned key: encryption is required, on the commands and on the files, and the server
//     must present that key, whoever signed its certificate.
// Internal to the libcurl transport.

#include <curl/curl.h>

#include <string>

#include "curl_events.h"

namespace tunelift::ftp::curl {

enum class CertificateCheck {
  Authority,  // a certificate the system (or caFile) trusts, for the host's name
  None,       // any certificate: the connection is encrypted, the server unidentified
  PinnedKey,  // the public key must match; the certificate's signer does not matter
};

struct TlsChoice {
  bool enabled = true;  // false: plain FTP, AUTH TLS is never asked
  CertificateCheck check = CertificateCheck::Authority;
  std::string pinnedKey;  // with PinnedKey: libcurl's "sha256//BASE64" form
  std::string caFile;     // with Authority: the certificates to trust instead of the system's
};

// Whether this libcurl can speak TLS at all.
bool LibraryHasTls();

// Sets the TLS options of `easy` for its next connections (libcurl copies the strings).
void ApplyTls(CURL* easy, const TlsChoice& choice);

// True when a login that failed with `code` under the Authority check failed only because the
// server could not prove who it is; it is then tried again with CertificateCheck::None.
bool FailedOnlyTheIdentityCheck(CURLcode code);

// The transcript's sentence for a failure that the encryption rules caused, or an empty text
// when `code` is another failure. `host` is the server's name; `events` the connection's.
std::string DescribeTlsFailure(CURLcode code, const std::string& host, const Events& events);

}  // namespace tunelift::ftp::curl
