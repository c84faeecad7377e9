#include "ftp/transport.h"

namespace tunelift::ftp {

TransportError::TransportError(Stage stage, int code, const std::string& description)
    : std::runtime_error(description), stage_(stage), code_(code) {}

}  // namespace tunelift::ftp
