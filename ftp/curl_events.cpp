#include "ftp/curl_events.h"

#include <cctype>
#include <utility>

#include "ftp/curl_easy.h"

namespace tunelift::ftp::curl {
namespace {

bool TlsInUse(CURL* easy) {
  curl_tlssessioninfo* session = nullptr;
  // Only meaningful while a transfer runs, which is when the callbacks ask.
  return curl_easy_getinfo(easy, CURLINFO_TLS_SSL_PTR, &session) == CURLE_OK &&
         session != nullptr && session->internals != nullptr;
}

}  // namespace

std::string Masked(std::string_view command) {
  const std::string_view verb = command.substr(0, command.find(' '));
  std::string upper(verb);
  for (char& c : upper) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return upper == "PASS" ? std::string("PASS ****") : std::string(command);
}

Events::Events(TransportObserver& observer) : observer_(observer) {}

void Events::Attach(CURL* easy, const std::string& host) {
  host_ = host;
  Set(easy, CURLOPT_VERBOSE, 1L);  // feeds OnDebug, which alone writes anything
  Set(easy, CURLOPT_DEBUGFUNCTION, &Events::OnDebug);
  Set(easy, CURLOPT_DEBUGDATA, this);
  Set(easy, CURLOPT_NOPROGRESS, 0L);
  Set(easy, CURLOPT_XFERINFOFUNCTION, &Events::OnProgress);
  Set(easy, CURLOPT_XFERINFODATA, this);
}

void Events::FinishTransfer() {
  if (!partialReply_.empty()) {
    observer_.OnReply(std::exchange(partialReply_, {}));
  }
  if (failure_) {
    std::rethrow_exception(std::exchange(failure_, nullptr));
  }
}

void Events::Reset() {
  partialReply_.clear();  // a goodbye cut short is not worth a line
  greeted_ = false;
  encrypted_ = false;
  protectionAsked_ = false;
  filesEncrypted_ = false;
  failure_ = nullptr;
}

void Events::OnReplyText(CURL* easy, std::string_view text) {
  partialReply_.append(text);
  for (std::size_t end = partialReply_.find('\n'); end != std::string::npos;
       end = partialReply_.find('\n')) {
    std::string line = partialReply_.substr(0, end);
    partialReply_.erase(0, end + 1);
    if (line.ends_with('\r')) {
      line.pop_back();
    }
    if (!greeted_ && line.starts_with("220")) {
      greeted_ = true;
      observer_.OnConnected(host_);
    }
    encrypted_ = TlsInUse(easy);
    if (protectionAsked_) {
      filesEncrypted_ = line.starts_with('2');
      protectionAsked_ = false;
    }
    observer_.OnReply(line);
  }
}

void Events::OnCommandText(std::string_view text) {
  // Only a reply before the first command of a connection can be its greeting.
  greeted_ = true;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  protectionAsked_ = text == "PROT P";
  observer_.OnCommandSent(Masked(text));
}

int Events::OnDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* user) {
  auto& events = *static_cast<Events*>(user);
  try {
    if (type == CURLINFO_HEADER_IN) {
      events.OnReplyText(easy, {data, size});
    } else if (type == CURLINFO_HEADER_OUT) {
      events.OnCommandText({data, size});
    }
  } catch (...) {
    events.failure_ = std::current_exception();
  }
  return 0;
}

int Events::OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t total, curl_off_t now) {
  auto& events = *static_cast<Events*>(user);
  if (now <= 0 || events.failure_) {
    return 0;
  }
  try {
    events.observer_.OnProgress(now, total);
  } catch (...) {
    events.failure_ = std::current_exception();
    return 1;  // aborts the transfer
  }
  return 0;
}

}  // namespace tunelift::ftp::curl
