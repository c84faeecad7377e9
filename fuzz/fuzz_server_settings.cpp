// Reading tunelift.ini: any bytes are read as settings or refused with the core's error,
// which names the file; settings that are read never break a line of the upload script; and
// values written into a file read back as they were written, less the spaces around them.
#include <string>
#include <vector>

#include "core/error.h"
#include "core/server_settings.h"
#include "core/staging_area.h"
#include "fuzz_check.h"

namespace {

using tunelift::fuzz::Check;

// Nothing in a value that would end its line of the script or start another.
bool FitsOneLine(std::string_view value) {
  return value.find_first_of("\r\n") == std::string_view::npos;
}

void ReadAnyBytes(std::string_view text) {
  try {
    const tunelift::ServerSettings read = tunelift::ParseServerSettings(text);
    Check(!read.host.empty() && FitsOneLine(read.host), "the host is one word");
    Check(!read.port || (*read.port >= 1 && *read.port <= 65535), "the port is a port");
    Check(!read.user.empty() && !read.password.empty(), "the account has a user and password");
    Check(read.pinnedKey.empty() || read.pinnedKey.starts_with("sha256//"), "a key is a pin");
    std::size_t lines = 1;
    const std::string script = tunelift::UploadScriptText(read);
    for (std::size_t at = script.find("\r\n"); at != std::string::npos;
         at = script.find("\r\n", at + 2)) {
      ++lines;
    }
    Check(lines == 7 && script.find_first_of("\r\n") == script.find("\r\n"),
          "the script keeps its seven lines");
    for (const std::string* value : {&read.user, &read.password}) {
      Check(FitsOneLine(*value), "a user name or password stays on its line");
    }
  } catch (const tunelift::Error& error) {
    Check(error.number() == tunelift::errnum::kInvalidFileFormat,
          "a settings file is refused only for its format");
    Check(error.description().starts_with("tunelift.ini"), "a refusal names the file");
  }
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void ReadBackWrittenValues(std::string_view text) {
  std::vector<std::string_view> parts = tunelift::fuzz::SplitAtNul(text);
  parts.resize(2);
  // A line end in a value ends its line (CR LF or LF; a CR elsewhere is refused).
  if (!FitsOneLine(parts[0]) || !FitsOneLine(parts[1])) {
    return;
  }
  const std::string file =
      "[server]\nuser = " + std::string(parts[0]) + "\npassword = " + std::string(parts[1]) + "\n";
  try {
    const tunelift::ServerSettings read = tunelift::ParseServerSettings(file);
    Check(read.user == Trimmed(parts[0]) && read.password == Trimmed(parts[1]),
          "the values read back");
  } catch (const tunelift::Error& error) {
    Check(error.number() == tunelift::errnum::kInvalidFileFormat,
          "a settings file is refused only for its format");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = tunelift::fuzz::AsText(data, size);
  ReadAnyBytes(text);
  ReadBackWrittenValues(text);
  return 0;
}
