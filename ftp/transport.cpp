#include "transport.h"

#include <utility>

namespace tunelift::ftp {

TransportError::TransportError(Stage stage, int code, const std::string& description,
                               ServerReply reply)
    : std::runtime_error(description), stage_(stage), code_(code), reply_(std::move(reply)) {}

}  // namespace tunelift::ftp
