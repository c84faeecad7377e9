#include "tests/support/server_key.h"

#include <cerrno>
#include <system_error>

#include "tests/support/child_process.h"

namespace tunelift::test {

std::string ServerKeyPin(int port) {
  const std::string openssl = TUNELIFT_OPENSSL;
  // The README's command, with the server on loopback.
  const std::string command = openssl + " s_client -connect 127.0.0.1:" + std::to_string(port) +
                              " -starttls ftp </dev/null 2>/dev/null | " + openssl +
                              " x509 -pubkey -noout | " + openssl + " pkey -pubin -outform der | " +
                              openssl + " dgst -sha256 -binary | base64";
  const ProgramResult result = RunProgram({.program = "/bin/sh",
                                           .arguments = {"-c", command},
                                           .environment = {},
                                           .input = "",
                                           .workingFolder = {}});
  const std::string digest = result.output.substr(0, result.output.find('\n'));
  if (result.exitCode != 0 || digest.size() != 44) {
    throw std::system_error(EPROTO, std::generic_category(),
                            "no key read from port " + std::to_string(port) + ": " + result.errors);
  }
  return "sha256//" + digest;
}

}  // namespace tunelift::test
