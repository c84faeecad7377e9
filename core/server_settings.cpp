#include "core/server_settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <map>

#include "core/build_config.h"
#include "core/error.h"
#include "text/utf8.h"
#include "text/utf8_path.h"
#include "settings_file.h"

namespace tunelift {
namespace {

// The account the upload script logs in with where the file gives none.
constexpr std::string_view kBuiltInUser = "DeckHopper";
constexpr std::string_view kBuiltInPassword = "MovingTracks";
// Far below the longest line the FTP client reads from its script.
constexpr std::size_t kLongestValue = 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kSpaces = " \t";

enum class Key { kHost, kPort, kUser, kPassword, kPinnedKey };
constexpr std::array<std::pair<std::string_view, Key>, 5> kKeys{{
    {"host", Key::kHost},
    {"port", Key::kPort},
    {"user", Key::kUser},
    {"password", Key::kPassword},
    {"pinned_key", Key::kPinnedKey},
}};

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kSpaces);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kSpaces) - first + 1);
}

// A line of the file that cannot be used: its number and what is wrong, in one sentence.
Error LineError(int line, const std::string& what) {
  return Error(errnum::kInvalidFileFormat,
               std::string(kSettingsFileName) + ", line " + std::to_string(line) + ": " + what);
}

// The first control character in `text` (valid UTF-8), if any.
std::optional<char32_t> FirstControl(std::string_view text) {
  while (!text.empty()) {
    const Utf8Char character = DecodeUtf8(text);
    if (IsControl(character.code)) {
      return character.code;
    }
    text.remove_prefix(character.length);
  }
  return std::nullopt;
}

bool IsUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = DecodeUtf8(text).length;
    if (length == 0) {
      return false;
    }
    text.remove_prefix(length);
  }
  return true;
}

std::string CodePoint(char32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return text;
}

// The same rule as cmake/ServerSettings.cmake's for TUNELIFT_FTP_HOST.
bool IsPlainHostName(std::string_view text) {
  return !text.empty() && std::ranges::all_of(text, [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-';
  });
}

bool IsBase64Character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

// "sha256//" and the base64 of a SHA-256 digest: 32 bytes make 43 characters and one "=";
// the last character holds only four bits, so it is one of sixteen.
bool IsOnePin(std::string_view text) {
  constexpr std::string_view kPrefix = "sha256//";
  constexpr std::string_view kLastCharacters = "AEIMQUYcgkosw048";
  if (text.size() != kPrefix.size() + 44 || !text.starts_with(kPrefix) || !text.ends_with('=')) {
    return false;
  }
  const std::string_view body = text.substr(kPrefix.size(), 42);
  return std::ranges::all_of(body, IsBase64Character) &&
         kLastCharacters.find(text[text.size() - 2]) != std::string_view::npos;
}

// The same rule as cmake/ServerSettings.cmake's for TUNELIFT_FTP_PINNED_KEY: empty, or pins
// joined by ";" (a server's old and new key while it changes).
bool IsPinnedKeyList(std::string_view text) {
  if (text.empty()) {
    return true;
  }
  for (;;) {
    const std::size_t semicolon = text.find(';');
    if (!IsOnePin(text.substr(0, semicolon))) {
      return false;
    }
    if (semicolon == std::string_view::npos) {
      return true;
    }
    text.remove_prefix(semicolon + 1);
  }
}

std::optional<int> ParsePort(std::string_view text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

// Checks a user name or password: it becomes a line of its own in the upload script.
void CheckScriptLine(int line, std::string_view name, std::string_view value) {
  if (value.empty()) {
    throw LineError(line, std::string(name) + " is empty; the server needs one to log in.");
  }
  if (value.size() > kLongestValue) {
    throw LineError(
        line, std::string(name) + " is longer than " + std::to_string(kLongestValue) + " bytes.");
  }
}

// Puts the value of `key` into `settings`, or throws what is wrong with it.
void Apply(Key key, std::string_view name, std::string_view value, int line,
           ServerSettings& settings) {
  switch (key) {
    case Key::kHost:
      if (!IsPlainHostName(value) || value.size() > kLongestValue) {
        throw LineError(line,
                        "host must be a plain host name (letters, digits, \".\" and "
                        "\"-\"), got '" +
                            std::string(value) + "'.");
      }
      settings.host = value;
      return;
    case Key::kPort:
      settings.port = ParsePort(value);
      if (!settings.port) {
        throw LineError(
            line, "port must be a whole number from 1 to 65535, got '" + std::string(value) + "'.");
      }
      return;
    case Key::kUser:
      CheckScriptLine(line, name, value);
      settings.user = value;
      return;
    case Key::kPassword:
      // Its value is never repeated in a message.
      CheckScriptLine(line, name, value);
      settings.password = value;
      return;
    case Key::kPinnedKey:
      if (!IsPinnedKeyList(value)) {
        throw LineError(line,
                        "pinned_key must be libcurl's sha256//BASE64 form of the SHA-256 "
                        "of the server's public key (several joined by ;), got '" +
                            std::string(value) + "'.");
      }
      settings.pinnedKey = value;
      return;
  }
}

// Reads the file line by line; remembers the section and the line each key was given on.
class SettingsReader {
public:
  explicit SettingsReader(const ServerSettings& builtIn) : settings_(builtIn) {}

  void Read(std::string_view line, int number) {
    if (!IsUtf8(line)) {
      throw LineError(number, "it is not UTF-8 text.");
    }
    line = Trimmed(line);
    if (line.empty() || line.starts_with(';') || line.starts_with('#')) {
      return;
    }
    if (line.starts_with('[')) {
      return Section(line, number);
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      throw LineError(number,
                      "expected a [server] section, a key = value line, or a comment "
                      "starting with ; or #.");
    }
    const std::string_view name = Trimmed(line.substr(0, equals));
    const std::string_view value = Trimmed(line.substr(equals + 1));
    RefuseControls(name, number);
    RefuseControls(value, number);
    KeyLine(name, value, number);
  }

  const ServerSettings& settings() const { return settings_; }
  bool Gave(Key key) const { return givenOn_.contains(key); }

private:
  // Spaces and tabs around a name or a value do not count; any control character inside one
  // does, as a line of the upload script would end there.
  static void RefuseControls(std::string_view text, int number) {
    if (const std::optional<char32_t> control = FirstControl(text)) {
      throw LineError(number, "it holds a control character (" + CodePoint(*control) +
                                  "), which would break the upload script's lines.");
    }
  }

  void Section(std::string_view line, int number) {
    if (!line.ends_with(']')) {
      throw LineError(number, "a section's name goes between [ and ], as in [server].");
    }
    const std::string_view name = Trimmed(line.substr(1, line.size() - 2));
    RefuseControls(name, number);
    if (name != kSettingsSection) {
      throw LineError(number, "the section [" + std::string(name) +
                                  "] is unknown; the file has one section, [server].");
    }
    if (inSection_) {
      throw LineError(number, "a second [server] section; its keys go in the first.");
    }
    inSection_ = true;
  }

  void KeyLine(std::string_view name, std::string_view value, int number) {
    const auto known = std::ranges::find(kKeys, name, &std::pair<std::string_view, Key>::first);
    if (known == kKeys.end()) {
      throw LineError(number, "the key '" + std::string(name) +
                                  "' is unknown; [server] takes host, port, user, password "
                                  "and pinned_key.");
    }
    if (!inSection_) {
      throw LineError(number, "the key '" + std::string(name) +
                                  "' comes before the [server] section it belongs in.");
    }
    if (const auto earlier = givenOn_.find(known->second); earlier != givenOn_.end()) {
      throw LineError(number, "the key '" + std::string(name) + "' was already given on line " +
                                  std::to_string(earlier->second) + ".");
    }
    Apply(known->second, name, value, number, settings_);
    givenOn_.emplace(known->second, number);
  }

  ServerSettings settings_;
  bool inSection_ = false;
  std::map<Key, int> givenOn_;
};

// Host names compare without regard to case.
bool SameHost(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

ServerSettings BuiltInServerSettings() {
  return {.host = std::string(kFtpHost),
          .port = std::nullopt,
          .user = std::string(kBuiltInUser),
          .password = std::string(kBuiltInPassword),
          .pinnedKey = std::string(kFtpPinnedKey)};
}

ServerSettings ParseServerSettings(std::string_view text, const ServerSettings& builtIn) {
  if (text.size() > kLargestSettingsFile) {
    throw Error(errnum::kInvalidFileFormat, std::string(kSettingsFileName) +
                                                ": it is larger than any settings file (" +
                                                std::to_string(text.size()) + " bytes).");
  }
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
  }
  SettingsReader reader(builtIn);
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    // A line may end in CR LF, as Windows' editors write it; any other CR is a control
    // character in its line.
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    reader.Read(line, ++number);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  ServerSettings settings = reader.settings();
  if (!reader.Gave(Key::kPinnedKey) && !SameHost(settings.host, builtIn.host)) {
    settings.pinnedKey.clear();
  }
  return settings;
}

ServerSettings LoadServerSettings(const std::string& folder) {
  // Joined with the platform's own separator, so that a message names the path as the user
  // knows it.
  const std::string path = Utf8FromPath(PathFromUtf8(folder) / PathFromUtf8(kSettingsFileName));
  const std::optional<std::string> text = ReadSettingsFile(path, kLargestSettingsFile);
  return text ? ParseServerSettings(*text) : BuiltInServerSettings();
}

}  // namespace tunelift
