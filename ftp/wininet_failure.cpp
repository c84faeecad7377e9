#include "wininet_failure.h"

#include <windows.h>
#include <wininet.h>

#include "wininet_reply.h"
#include "text/wide_text_win32.h"

namespace tunelift::ftp {
namespace {

using Stage = TransportError::Stage;
using Step = FailedCall::Step;

enum class Cause { HostUnknown, ConnectionRefused, TimedOut, ConnectionLost, Other };

Cause CauseOf(unsigned long error) {
  switch (error) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return Cause::HostUnknown;
    case ERROR_INTERNET_CANNOT_CONNECT: return Cause::ConnectionRefused;
    case ERROR_INTERNET_TIMEOUT:
    case WSAETIMEDOUT: return Cause::TimedOut;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_FTP_DROPPED:
    // Wine's WinINet says this when the control connection closes under it; this transport
    // never sends a command while a transfer is open, the one thing it means on Windows.
    case ERROR_FTP_TRANSFER_IN_PROGRESS:
    // A reply was due and none came (Wine's WinINet, when the connection has closed).
    case ERROR_INTERNET_EXTENDED_ERROR:
    // Winsock's own numbers, which WinINet passes on from a data connection.
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENETRESET:
    case WSAESHUTDOWN:
    case WSAENOTCONN:
    case ERROR_NETNAME_DELETED: return Cause::ConnectionLost;
    default: return Cause::Other;
  }
}

std::string HostAndPort(const FailedCall& call) {
  return call.host + " port " + std::to_string(call.port);
}

// The server answered the step with a refusal (4xx or 5xx).
TransportError Refusal(const FailedCall& call, const ServerReply& reply) {
  const std::string& line = call.answer.back();
  const auto error = static_cast<int>(call.error);
  if (reply.code == 421 || reply.code == 426) {
    // 421: the server is closing the connection; 426: it closed the data connection.
    return {Stage::Dropped, error, "The connection dropped. The server said: " + line, reply};
  }
  if (call.step == Step::Connect) {
    return {Stage::Login, error, "Cannot log in to " + call.host + ": " + line, reply};
  }
  return {Stage::Command, error, call.what + ": " + line, reply};
}

// WinINet's "extended error" without a reply is no error of its own (Wine's, when the
// connection closed under a command): such a drop goes by WinINet's number for drops.
int DropNumber(unsigned long error) {
  return static_cast<int>(error == ERROR_INTERNET_EXTENDED_ERROR ? ERROR_FTP_DROPPED : error);
}

// The login failed with an error that has no sentence of its own.
TransportError UnknownAtLogin(const FailedCall& call) {
  const auto error = static_cast<int>(call.error);
  const std::string words = ": " + WinInetWords(call.error);
  if (call.error == ERROR_INTERNET_LOGIN_FAILURE) {
    return {Stage::Login, error, "Cannot log in to " + call.host + words};
  }
  return {Stage::Connect, error, "Cannot connect to " + HostAndPort(call) + words};
}

// The step failed without an answer from the server.
TransportError Unanswered(const FailedCall& call) {
  const auto error = static_cast<int>(call.error);
  const bool connecting = call.step == Step::Connect;
  switch (CauseOf(call.error)) {
    case Cause::HostUnknown:
      if (connecting) {
        return {Stage::Connect, error, "The server " + call.host + " could not be found."};
      }
      break;
    case Cause::ConnectionRefused:
      if (connecting) {
        return {Stage::Connect, error,
                "Nothing answered on " + HostAndPort(call) + " (connection refused)."};
      }
      break;
    case Cause::TimedOut:
      return {connecting ? Stage::Connect : Stage::Dropped, error,
              HostAndPort(call) + " did not answer within " + std::to_string(call.seconds) +
                  " seconds."};
    case Cause::ConnectionLost:
      return {Stage::Dropped, DropNumber(call.error), "The connection dropped."};
    case Cause::Other: break;
  }
  return connecting
             ? UnknownAtLogin(call)
             : TransportError(Stage::Command, error, call.what + ": " + WinInetWords(call.error));
}

}  // namespace

TransportError Explain(const FailedCall& call) {
  const ServerReply reply = ReplyOf(call.answer);
  return reply.code >= 400 ? Refusal(call, reply) : Unanswered(call);
}

std::string WinInetWords(unsigned long code) {
  const bool wininetError = code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST;
  const std::string words =
      SystemWords(code, wininetError ? GetModuleHandleW(L"wininet.dll") : nullptr);
  return words.empty() ? "WinINet error " + std::to_string(code) : words;
}

}  // namespace tunelift::ftp
