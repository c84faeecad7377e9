#include "curl_tls.h"

#include "curl_easy.h"

namespace tunelift::ftp::curl {

bool LibraryHasTls() {
  const curl_version_info_data* version = curl_version_info(CURLVERSION_NOW);
  return version != nullptr && (version->features & CURL_VERSION_SSL) != 0;
}

void ApplyTls(CURL* easy, const TlsChoice& choice) {
  if (!choice.enabled) {
    Set(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
    return;
  }
  const bool pinned = choice.check == CertificateCheck::PinnedKey;
  const bool authority = choice.check == CertificateCheck::Authority;
  // AUTH TLS, then AUTH SSL for older servers. CURLUSESSL_ALL fails before the user name when
  // the server refuses both, and after the login when it refuses PROT P.
  Set(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
  Set(easy, CURLOPT_USE_SSL, static_cast<long>(pinned ? CURLUSESSL_ALL : CURLUSESSL_TRY));
  Set(easy, CURLOPT_SSL_VERIFYPEER, authority ? 1L : 0L);
  Set(easy, CURLOPT_SSL_VERIFYHOST, authority ? 2L : 0L);
  // libcurl checks the pinned key even when it does not verify the certificate, during the
  // handshake: a mismatch ends the connection before anything is sent through it. The data
  // connections are checked the same way, and reuse the control connection's TLS session.
  Set(easy, CURLOPT_PINNEDPUBLICKEY, pinned ? choice.pinnedKey.c_str() : nullptr);
  // libcurl before 8.10 closes a TLS 1.3 data connection without waiting for the server to
  // read the end of an upload, and vsftpd reports the file as failed ("426 Failure reading
  // network stream"); curl lists it among its known bugs ("FTPS upload data loss with TLS
  // 1.3"). TLS 1.2 carries the same session reuse and strong ciphers without that loss.
  if (curl_version_info(CURLVERSION_NOW)->version_num < 0x080A00) {
    const long atMostTls12 = CURL_SSLVERSION_MAX_TLSv1_2;  // the lowest version as libcurl's
    Set(easy, CURLOPT_SSLVERSION, atMostTls12);
  }
  if (authority && !choice.caFile.empty()) {
    // Never set to null: that would drop the system's authorities too.
    Set(easy, CURLOPT_CAINFO, choice.caFile.c_str());
  }
}

bool FailedOnlyTheIdentityCheck(CURLcode code) {
  // 77: the system's authorities cannot be read, so no certificate can be checked at all.
  return code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE;
}

std::string DescribeTlsFailure(CURLcode code, const std::string& host, const Events& events) {
  const std::string server = "The server of " + host;
  const std::string required = ", but this build pins its key and so requires encryption: ";
  if (code == CURLE_SSL_PINNEDPUBKEYNOTMATCH) {
    const std::string presented = events.presentedKey().empty()
                                      ? std::string("a public key")
                                      : "the public key " + events.presentedKey();
    return server + " presented " + presented +
           ", which is not the key this build pins for "
           "it: nothing was sent, not even the user name. If the server's key was changed on "
           "purpose, put the new one as pinned_key in tunelift.ini beside the program, or build "
           "Tunelift again with it as TUNELIFT_FTP_PINNED_KEY.";
  }
  if (code == CURLE_USE_SSL_FAILED && events.filesRefused()) {
    return server + " refused to encrypt the files (PROT P)" + required + "no file was sent.";
  }
  if (code == CURLE_USE_SSL_FAILED) {
    return server + " did not accept encryption" + required +
           "nothing was sent, not even the user name.";
  }
  return {};
}

}  // namespace tunelift::ftp::curl
