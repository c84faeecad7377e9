#pragma once
// The server the music goes to and the account the upload script logs in with: the values
// the build fixed (core/build_config.h and the account below), each replaced by the key of
// the same name in tunelift.ini beside the program. Tunelift and ftp.exe read the same file.
//
// The file is UTF-8 (a byte order mark is allowed), one [server] section with the keys host,
// port, user, password and pinned_key; blank lines and lines starting with ";" or "#" are
// skipped, and spaces around a line, a name or a value do not count.
//
// Error policy: the file is read strictly and never half-used. A line that cannot be
// understood throws tunelift::Error (errnum::kInvalidFileFormat) whose description starts
// with the file's name and the line's number ("tunelift.ini, line 3: ..."); a file that cannot
// be read throws the system's error, with the path. No file at all is not an error.

#include <optional>
#include <string>
#include <string_view>

namespace tunelift {

inline constexpr std::string_view kSettingsFileName = "tunelift.ini";
inline constexpr std::string_view kSettingsSection = "server";
// A settings file holds a few short lines; anything larger is not one.
inline constexpr std::size_t kLargestSettingsFile = 64 * 1024;

struct ServerSettings {
  // A plain host name or IPv4 address (letters, digits, "." and "-").
  std::string host;
  // The server's port; none: the client's own (21), and the script's "open" line names none.
  std::optional<int> port;
  std::string user;
  std::string password;
  // The SHA-256 of the server's public key in libcurl's "sha256//BASE64" form, several joined
  // by ";"; empty: none pinned. It belongs to `host` alone.
  std::string pinnedKey;
};

// The values the build fixed.
ServerSettings BuiltInServerSettings();

// The settings in `text`, the contents of a settings file: `builtIn` with every key the file
// gives replaced. A file that names another host than `builtIn`'s and no pinned_key pins none:
// the built-in key is the built-in server's. Throws as the file's policy says.
ServerSettings ParseServerSettings(std::string_view text,
                                   const ServerSettings& builtIn = BuiltInServerSettings());

// The settings in the file kSettingsFileName in `folder` (UTF-8 text), as ParseServerSettings
// reads it; the built-in values when there is no such file. Throws tunelift::Error when the
// file cannot be read (a folder of that name, no permission) or is malformed.
ServerSettings LoadServerSettings(const std::string& folder);

}  // namespace tunelift
