#include "curl_easy.h"

#include <algorithm>

namespace tunelift::ftp::curl {
namespace {

using Stage = TransportError::Stage;

struct UrlDeleter {
  void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
};
using Url = std::unique_ptr<CURLU, UrlDeleter>;

struct CurlFree {
  void operator()(char* text) const noexcept { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlFree>;

void SetPart(CURLU* url, CURLUPart part, const std::string& content, const std::string& what) {
  const CURLUcode code = curl_url_set(url, part, content.c_str(), 0);
  if (code != CURLUE_OK) {
    throw TransportError(Stage::Connect, code,
                         "Unknown " + what + " " + content + " (" + curl_url_strerror(code) + ")");
  }
}

void Check(CURLMcode code) {
  if (code != CURLM_OK) {
    throw TransportError(Stage::Command, code, curl_multi_strerror(code));
  }
}

// Waits for libcurl's sockets, no longer than libcurl's next timeout. libcurl 7.88 can be left
// with nothing to wait on between the passive-mode reply and the data connection (fixed in
// 8.4); it only needs to be called again then, where its own loop sleeps a whole second per
// file. `idle` counts such turns in a row: the first does not wait at all, each further one a
// millisecond longer (up to 10), so that a libcurl with truly nothing to do does not spin.
CURLMcode WaitForSockets(CURLM* multi, long& idle) {
  fd_set read;
  fd_set write;
  fd_set error;
  FD_ZERO(&read);
  FD_ZERO(&write);
  FD_ZERO(&error);
  int highest = -1;
  long wanted = -1;
  CURLMcode code = curl_multi_fdset(multi, &read, &write, &error, &highest);
  if (code == CURLM_OK) {
    code = curl_multi_timeout(multi, &wanted);
  }
  if (code != CURLM_OK) {
    return code;
  }
  idle = highest < 0 ? idle + 1 : 0;
  const long ceiling = highest < 0 ? std::min(idle - 1, 10L) : 1000;
  const long milliseconds = wanted < 0 || wanted > ceiling ? ceiling : wanted;
  return curl_multi_poll(multi, nullptr, 0, static_cast<int>(milliseconds), nullptr);
}

std::string Escaped(CURL* easy, const std::string& segment) {
  const CurlText escaped(curl_easy_escape(easy, segment.c_str(), static_cast<int>(segment.size())));
  if (!escaped) {
    throw TransportError(Stage::Local, CURLE_OUT_OF_MEMORY, "libcurl could not escape a name");
  }
  return escaped.get();
}

}  // namespace

Easy NewEasy() {
  Easy easy(curl_easy_init());
  if (!easy) {
    throw TransportError(Stage::Connect, CURLE_FAILED_INIT, "libcurl could not start a session");
  }
  return easy;
}

Multi NewMulti() {
  Multi multi(curl_multi_init());
  if (!multi) {
    throw TransportError(Stage::Connect, CURLE_FAILED_INIT, "libcurl could not start a session");
  }
  return multi;
}

CURLcode Perform(CURLM* multi, CURL* easy) {
  Check(curl_multi_add_handle(multi, easy));
  int running = 1;
  long idle = 0;
  CURLMcode failure = CURLM_OK;
  while (running > 0 && failure == CURLM_OK) {
    failure = curl_multi_perform(multi, &running);
    if (running > 0 && failure == CURLM_OK) {
      failure = WaitForSockets(multi, idle);
    }
  }
  CURLcode result = CURLE_OK;
  int left = 0;
  for (CURLMsg* message = curl_multi_info_read(multi, &left); message != nullptr;
       message = curl_multi_info_read(multi, &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
      result = message->data.result;
    }
  }
  Check(curl_multi_remove_handle(multi, easy));
  Check(failure);
  return result;
}

List SingleEntryList(const std::string& text) {
  return ListOf({text});
}

List ListOf(std::initializer_list<std::string> entries) {
  List list;
  for (const std::string& entry : entries) {
    curl_slist* longer = curl_slist_append(list.get(), entry.c_str());
    if (longer == nullptr) {
      throw TransportError(Stage::Local, CURLE_OUT_OF_MEMORY, "libcurl could not hold a list");
    }
    static_cast<void>(list.release());  // now part of `longer`
    list.reset(longer);
  }
  return list;
}

std::string FtpUrl(CURL* easy, const std::string& host, int port, bool absolute,
                   const std::vector<std::string>& folder, const std::string& file) {
  // libcurl decodes the path, then reads a leading "/" (escaped, as %2F) as the root.
  std::string path = absolute ? "/%2F" : "";
  for (const std::string& segment : folder) {
    path += "/" + Escaped(easy, segment);
  }
  path += "/" + (file.empty() ? std::string() : Escaped(easy, file));

  const Url url(curl_url());
  if (!url) {
    throw TransportError(Stage::Local, CURLE_OUT_OF_MEMORY, "libcurl could not build a URL");
  }
  SetPart(url.get(), CURLUPART_SCHEME, "ftp", "scheme");
  SetPart(url.get(), CURLUPART_HOST, host, "host");
  SetPart(url.get(), CURLUPART_PORT, std::to_string(port), "port");
  SetPart(url.get(), CURLUPART_PATH, path, "path");
  char* text = nullptr;
  const CURLUcode code = curl_url_get(url.get(), CURLUPART_URL, &text, 0);
  const CurlText owned(text);
  if (code != CURLUE_OK) {
    throw TransportError(Stage::Connect, code, curl_url_strerror(code));
  }
  return owned.get();
}

}  // namespace tunelift::ftp::curl
