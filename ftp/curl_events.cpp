#include "curl_events.h"

#include <cctype>
#include <utility>

#include "command.h"
#include "curl_easy.h"

namespace tunelift::ftp::curl {
namespace {

bool TlsInUse(CURL* easy) {
  curl_tlssessioninfo* session = nullptr;
  // Only meaningful while a transfer runs, which is when the callbacks ask.
  return curl_easy_getinfo(easy, CURLINFO_TLS_SSL_PTR, &session) == CURLE_OK &&
         session != nullptr && session->internals != nullptr;
}

std::string Verb(std::string_view command) {
  return Lowercase(command.substr(0, command.find(' ')));
}

bool IsRefusal(std::string_view reply) {
  return reply.starts_with('4') || reply.starts_with('5');
}

// The last line of a reply is its code followed by a space (RFC 959's multi-line form puts a
// hyphen there on every line but the last).
bool IsLastLineOfReply(std::string_view line) {
  return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
         std::isdigit(static_cast<unsigned char>(line[1])) &&
         std::isdigit(static_cast<unsigned char>(line[2])) && (line.size() == 3 || line[3] == ' ');
}

ServerReply ReplyOf(std::string_view line) {
  const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
  return {.code = code, .text = std::string(line.size() > 4 ? line.substr(4) : "")};
}

}  // namespace

std::string Masked(std::string_view command) {
  return Verb(command) == "pass" ? std::string("PASS ****") : std::string(command);
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
  ShowHeld();
  if (!partialReply_.empty()) {
    observer_.OnReply(std::exchange(partialReply_, {}));
  }
  if (failure_) {
    std::rethrow_exception(std::exchange(failure_, nullptr));
  }
}

void Events::DiscardHeld() {
  held_.clear();
  partialReply_.clear();
  presentedKey_.clear();
  greeted_ = false;
  authAsked_ = false;
  authAwaitingReply_ = false;
  hidingAuthRefusal_ = false;
  encrypted_ = false;
}

void Events::ForgetReplies() {
  replies_.clear();
  lastReply_ = {};
}

void Events::Reset() {
  DiscardHeld();  // a goodbye cut short is not worth a line
  lastReply_ = {};
  replies_.clear();
  settled_ = false;
  protectionAsked_ = false;
  filesEncrypted_ = false;
  filesRefused_ = false;
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
    if (IsLastLineOfReply(line)) {
      lastReply_ = ReplyOf(line);
    }
    replies_.push_back(line);
    if (!greeted_ && line.starts_with("220")) {
      greeted_ = true;
      Show({Shown::Kind::Connected, host_});
    }
    encrypted_ = TlsInUse(easy);
    if (protectionAsked_) {
      filesEncrypted_ = line.starts_with('2');
      filesRefused_ = IsRefusal(line);
      protectionAsked_ = false;
    }
    if (authAwaitingReply_) {
      hidingAuthRefusal_ = IsRefusal(line);
      authAwaitingReply_ = false;
    }
    if (!hidingAuthRefusal_) {
      Show({Shown::Kind::Reply, std::move(line)});
    }
  }
}

void Events::OnCommandText(CURL* easy, std::string_view text) {
  // Only a reply before the first command of a connection can be its greeting.
  greeted_ = true;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  const std::string verb = Verb(text);
  if (verb == "user") {
    Settle(easy);
  }
  authAwaitingReply_ = verb == "auth";
  authAsked_ = authAsked_ || authAwaitingReply_;
  hidingAuthRefusal_ = false;
  protectionAsked_ = text == "PROT P";
  Show({Shown::Kind::Command, Masked(text)});
}

void Events::OnInfoText(std::string_view text) {
  // libcurl says it while it checks a pinned key: " public key hash: sha256//BASE64".
  constexpr std::string_view kLabel = "public key hash: ";
  const std::size_t label = text.find(kLabel);
  if (label == std::string_view::npos) {
    return;
  }
  const std::string_view key = text.substr(label + kLabel.size());
  presentedKey_ = std::string(key.substr(0, key.find_first_of(" \r\n")));
}

void Events::Settle(CURL* easy) {
  if (settled_) {
    return;  // a connection made again within the session: said once is enough
  }
  settled_ = true;
  ShowHeld();
  if (TlsInUse(easy)) {
    observer_.OnControlEncryption(identityChecked_ ? ControlEncryption::Verified
                                                   : ControlEncryption::Unverified);
  } else if (authAsked_) {
    observer_.OnControlEncryption(ControlEncryption::RefusedByServer);
  }  // without TLS at all, the session has said so
}

void Events::Show(Shown shown) {
  if (settled_) {
    Forward(shown);
  } else {
    held_.push_back(std::move(shown));
  }
}

void Events::Forward(const Shown& shown) {
  switch (shown.kind) {
    case Shown::Kind::Connected: return observer_.OnConnected(shown.text);
    case Shown::Kind::Reply: return observer_.OnReply(shown.text);
    case Shown::Kind::Command: return observer_.OnCommandSent(shown.text);
  }
}

void Events::ShowHeld() {
  for (const Shown& shown : std::exchange(held_, {})) {
    Forward(shown);
  }
}

int Events::OnDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* user) {
  auto& events = *static_cast<Events*>(user);
  try {
    if (type == CURLINFO_HEADER_IN) {
      events.OnReplyText(easy, {data, size});
    } else if (type == CURLINFO_HEADER_OUT) {
      events.OnCommandText(easy, {data, size});
    } else if (type == CURLINFO_TEXT) {
      events.OnInfoText({data, size});
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
