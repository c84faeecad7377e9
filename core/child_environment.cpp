#include "child_environment.h"

#include "core/error.h"

namespace tunelift {

void CheckEnvironmentVariables(const std::vector<EnvironmentVariable>& variables,
                               const std::string& what) {
  for (const EnvironmentVariable& variable : variables) {
    const bool nameFits = !variable.name.empty() &&
                          variable.name.find_first_of(std::string("=\0", 2)) == std::string::npos;
    if (!nameFits || variable.value.find('\0') != std::string::npos) {
      const std::string shownName = std::string(variable.name.c_str()).substr(0, 64);
      throw Error(errnum::kInvalidCall,
                  what + ": the environment variable '" + shownName +
                      "' cannot be passed (an empty name, or \"=\" in its name, or NUL).");
    }
  }
}

}  // namespace tunelift
