// The client's command line (arguments separated by NUL in the input): either a configuration
// or the usage text, and a configuration names only what the arguments said.
#include <string>

#include "ftp/options.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tunelift::ftp;
  const std::vector<std::string_view> arguments =
      tunelift::fuzz::SplitAtNul(tunelift::fuzz::AsText(data, size));
  const std::optional<Config> config = ParseArguments(arguments);
  if (!config) {
    return 0;
  }
  tunelift::fuzz::Check(!config->scriptFile || !config->scriptFile->empty(),
                        "a script named is never empty");
  if (!config->host.empty()) {
    tunelift::fuzz::Check(config->host == arguments.back() && !config->host.starts_with('-'),
                          "the host is the last argument and no option");
  }
  return 0;
}
