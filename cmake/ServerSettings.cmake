# Checks the server settings that a build fixes: TUNELIFT_FTP_HOST and TUNELIFT_FTP_PINNED_KEY.
# A malformed value stops the configuration with a message that says what was expected.
# Included by the top-level CMakeLists.txt; also runs on its own, for the tests:
#   cmake -DTUNELIFT_FTP_HOST=... -DTUNELIFT_FTP_PINNED_KEY=... -P cmake/ServerSettings.cmake

if(NOT TUNELIFT_FTP_HOST MATCHES "^[A-Za-z0-9.-]+$")
  message(FATAL_ERROR "TUNELIFT_FTP_HOST must be a plain host name, got '${TUNELIFT_FTP_HOST}'")
endif()

# libcurl's pinned-key form: "sha256//" and the base64 of a SHA-256 digest, several joined by
# ";" (a server's old and new key while it changes). 32 bytes make 43 base64 characters and
# one "="; the last character holds only four bits, so it is one of sixteen.
string(REPEAT "[A-Za-z0-9+/]" 42 _tunelift_base64_body)
set(_tunelift_pin "sha256//${_tunelift_base64_body}[AEIMQUYcgkosw048]=")
if(NOT TUNELIFT_FTP_PINNED_KEY STREQUAL "" AND
   NOT TUNELIFT_FTP_PINNED_KEY MATCHES "^${_tunelift_pin}(;${_tunelift_pin})*$")
  message(FATAL_ERROR
    "TUNELIFT_FTP_PINNED_KEY must be libcurl's sha256//BASE64 form of the SHA-256 of the "
    "server's public key (several joined by ;), as the README's openssl command prints it, "
    "got '${TUNELIFT_FTP_PINNED_KEY}'")
endif()
unset(_tunelift_base64_body)
unset(_tunelift_pin)
