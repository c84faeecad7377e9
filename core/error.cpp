#include "core/error.h"

namespace tunelift {

Error::Error(int number, const std::string& description)
    : std::runtime_error(description), number_(number), description_(description) {}

}  // namespace tunelift
