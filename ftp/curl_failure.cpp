#include "curl_failure.h"

#include <cerrno>
#include <system_error>

#include "curl_tls.h"

namespace tunelift::ftp::curl {
namespace {

using Stage = TransportError::Stage;

// Replies that say the connection itself failed, not that the command was refused: the
// service is closing (421), the data connection could not be opened (425) or was cut (426).
bool IsConnectionReply(int code) {
  return code == 421 || code == 425 || code == 426;
}

bool IsLostConnection(CURLcode code) {
  switch (code) {
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_COULDNT_CONNECT: return true;
    default: return false;
  }
}

// Failures that leave no usable control connection, or no login, before one was made.
Stage StageBeforeLogin(CURLcode code, Stage during) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_USE_SSL_FAILED:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return Stage::Connect;
    case CURLE_LOGIN_DENIED: return Stage::Login;
    default: return during;
  }
}

Stage StageOf(const FailedTransfer& failure, int replyCode, Stage during) {
  if (failure.code == CURLE_LOGIN_DENIED) {
    return Stage::Login;
  }
  if (failure.connected && (IsLostConnection(failure.code) || IsConnectionReply(replyCode))) {
    return Stage::Dropped;
  }
  return StageBeforeLogin(failure.code, during);
}

// True when the failure means the server closed the control connection. libcurl reports a
// connection that simply ended as "response reading failed" with a stale errno.
bool ServerClosed(const FailedTransfer& failure) {
  const bool lostConnection = failure.code == CURLE_RECV_ERROR ||
                              failure.code == CURLE_SEND_ERROR || failure.code == CURLE_GOT_NOTHING;
  const bool reset = failure.systemReason == ECONNRESET || failure.systemReason == EPIPE ||
                     failure.systemReason == ECONNABORTED;
  return lostConnection && (reset || failure.libraryWords.starts_with("response reading failed"));
}

std::string SystemWords(long reason) {
  return std::generic_category().message(static_cast<int>(reason));
}

std::string PortOf(const Server& server) {
  return server.host + " port " + std::to_string(server.port);
}

// The sentence for a failure that happened before or while connecting.
std::string DescribeConnecting(const FailedTransfer& failure, const Server& server) {
  switch (failure.code) {
    case CURLE_COULDNT_RESOLVE_HOST: return "The server " + server.host + " could not be found.";
    case CURLE_COULDNT_CONNECT:
      if (failure.systemReason == ECONNREFUSED) {
        return "Nothing answered on " + PortOf(server) + " (connection refused).";
      }
      return PortOf(server) + " could not be reached" +
             (failure.systemReason != 0 ? " (" + SystemWords(failure.systemReason) + ")." : ".");
    case CURLE_OPERATION_TIMEDOUT:
      return PortOf(server) + " did not answer within " + std::to_string(server.timeoutSeconds) +
             " seconds.";
    default: return {};
  }
}

std::string Describe(const FailedTransfer& failure, const Server& server, const ServerReply& reply,
                     Stage stage) {
  if (stage == Stage::Login) {
    return "The password was not accepted" +
           (reply.code != 0 ? " (" + std::to_string(reply.code) + " " + reply.text + ")." : ".");
  }
  if (ServerClosed(failure)) {
    return "The server closed the connection.";
  }
  if (stage == Stage::Dropped) {
    if (failure.code == CURLE_OPERATION_TIMEDOUT) {
      return "The server stopped answering for " + std::to_string(server.timeoutSeconds) +
             " seconds.";
    }
    return reply.code != 0
               ? "The connection dropped (" + std::to_string(reply.code) + " " + reply.text + ")."
               : "The connection dropped.";
  }
  if (!failure.connected) {
    const std::string connecting = DescribeConnecting(failure, server);
    if (!connecting.empty()) {
      return connecting;
    }
  }
  std::string words = failure.libraryWords;
  if (failure.systemReason != 0) {
    const std::string reason = SystemWords(failure.systemReason);
    words += words.find(reason) == std::string::npos ? ": " + reason : "";
  }
  return words;
}

}  // namespace

TransportError DescribeFailure(const FailedTransfer& failure, const Server& server,
                               const Events& events, Stage during) {
  // A reply is the answer to the failure only when it refuses; a "150" before a data
  // connection broke is not.
  const ServerReply reply = events.lastReply().code >= 400 ? events.lastReply() : ServerReply{};
  const Stage stage = StageOf(failure, reply.code, during);
  const std::string tlsFailure = DescribeTlsFailure(failure.code, server.host, events);
  const std::string words =
      tlsFailure.empty() ? Describe(failure, server, reply, stage) : tlsFailure;
  return TransportError(stage, failure.code, words, reply);
}

}  // namespace tunelift::ftp::curl
