#pragma once
// A WinINet call that failed, turned into the TransportError the session reads: where it
// stopped (the Stage) and a sentence a user knows, with the server's reply where it answered.
// The number stays WinINet's (or Winsock's, which WinINet passes on from a data connection).

#include <string>
#include <vector>

#include "transport.h"

namespace tunelift::ftp {

struct FailedCall {
  enum class Step {
    Connect,   // InternetConnectW: the connection and the login
    Command,   // one command on the control connection (FtpOpenFileW's STOR among them)
    Transfer,  // a file's bytes on the data connection, and the server's verdict on them
  };
  Step step = Step::Command;
  unsigned long error = 0;  // GetLastError() right after the call
  // The lines the server answered this step with; empty when it did not answer (WinINet may
  // still hold an older step's reply: the caller tells them apart).
  std::vector<std::string> answer;
  std::string what;  // what failed, for a refusal or an unknown error: "Cannot send b.mp3"
  std::string host;  // the server as the user named it
  int port = 21;
  long seconds = 0;  // how long the call took
};

TransportError Explain(const FailedCall& call);

// The system's words for a WinINet or Win32 error number: WinINet keeps its own messages.
// Never empty: without words, "WinINet error N".
std::string WinInetWords(unsigned long code);

}  // namespace tunelift::ftp
