#pragma once
// Owners for libcurl's handles, option setting that refuses to go on silently, and the
// building of FTP URLs. Internal to the client library: only its own sources include this,
// so nothing else needs libcurl's headers.

#include <curl/curl.h>

#include <concepts>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "transport.h"

namespace tunelift::ftp::curl {

struct EasyDeleter {
  void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

struct MultiDeleter {
  void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
};
using Multi = std::unique_ptr<CURLM, MultiDeleter>;

struct ListDeleter {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using List = std::unique_ptr<curl_slist, ListDeleter>;

// A new easy handle; throws TransportError when libcurl cannot make one.
Easy NewEasy();
// A new multi handle, which keeps the connections of every transfer run through it.
Multi NewMulti();
// Runs one transfer of `easy` through `multi` to its end and returns its result. Throws
// TransportError when the multi interface itself fails; `easy` is detached again either way,
// unless the detaching is what failed.
CURLcode Perform(CURLM* multi, CURL* easy);
// A list holding the single entry `text`.
List SingleEntryList(const std::string& text);
// A list of `entries`, in order.
List ListOf(std::initializer_list<std::string> entries);

// Sets one option. The types are those curl_easy_setopt reads: long, curl_off_t or a pointer
// (callbacks included); anything else would be read as garbage through the variadic call.
template <typename T>
requires std::same_as<T, long> || std::same_as<T, curl_off_t> || std::is_pointer_v<T> ||
    std::same_as<T, std::nullptr_t>
void Set(CURL* easy, CURLoption option, T value) {
  const CURLcode code = curl_easy_setopt(easy, option, value);
  if (code != CURLE_OK) {
    throw TransportError(TransportError::Stage::Command, code,
                         std::string("libcurl refused an option: ") + curl_easy_strerror(code));
  }
}

// Reads one value with curl_easy_getinfo; throws TransportError when libcurl has none.
template <typename T>
T Info(CURL* easy, CURLINFO info) {
  T value{};
  const CURLcode code = curl_easy_getinfo(easy, info, &value);
  if (code != CURLE_OK) {
    throw TransportError(TransportError::Stage::Command, code, curl_easy_strerror(code));
  }
  return value;
}

// ftp://HOST:PORT/ followed by the path, each segment escaped by libcurl. A host that libcurl
// will not take fails with Stage::Connect. `absolute` starts the path at the server's root
// rather than at the login folder. `file` empty: the URL names the folder itself.
std::string FtpUrl(CURL* easy, const std::string& host, int port, bool absolute,
                   const std::vector<std::string>& folder, const std::string& file);

}  // namespace tunelift::ftp::curl
