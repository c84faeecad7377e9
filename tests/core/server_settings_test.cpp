// tunelift.ini beside the program: what a good file gives, each kind of line it refuses (with
// the line's number), the file read from a real program folder, and the upload script written
// from it. The same cases run on every platform.

#include "core/server_settings.h"

#include "core/error.h"
#include "program_folder.h"

namespace tunelift::testing {
namespace {

const std::string kPin = "sha256//5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5lY=";
const std::string kOtherPin = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

// What a build could have fixed, with a pinned key, so that the cases can tell it from the
// file's values.
ServerSettings Built() {
  return {.host = "built.example.net",
          .port = std::nullopt,
          .user = "BuiltUser",
          .password = "BuiltPassword",
          .pinnedKey = kPin};
}

void ExpectSame(const ServerSettings& got, const ServerSettings& expected) {
  EXPECT_EQ(got.host, expected.host);
  EXPECT_EQ(got.port, expected.port);
  EXPECT_EQ(got.user, expected.user);
  EXPECT_EQ(got.password, expected.password);
  EXPECT_EQ(got.pinnedKey, expected.pinnedKey);
}

TEST(ServerSettingsFile, GivesEveryKeyOfAFullFile) {
  const ServerSettings got = ParseServerSettings(
      "[server]\n"
      "host = ftp.radio-one.example.org\n"
      "port = 2121\n"
      "user = Night Shift\n"
      "password = p@ss word;#=[x]\n"
      "pinned_key = " +
          kPin + ";" + kOtherPin + "\n",
      Built());
  ExpectSame(got, {.host = "ftp.radio-one.example.org",
                   .port = 2121,
                   .user = "Night Shift",
                   .password = "p@ss word;#=[x]",
                   .pinnedKey = kPin + ";" + kOtherPin});
}

TEST(ServerSettingsFile, TakesAByteOrderMarkCommentsBlankLinesCrLfAndSurroundingSpaces) {
  const ServerSettings got = ParseServerSettings(
      "\xEF\xBB\xBF; written by Notepad\r\n"
      "\r\n"
      "  # the station's server\r\n"
      "\t[ server ]  \r\n"
      "   host\t=\tbuilt.example.net   \r\n"
      "\r\n"
      "user=Émilie\r\n"
      "   ; password = not this one\r\n"
      "password=  héllo wörld  ",
      Built());
  ExpectSame(got, {.host = "built.example.net",
                   .port = std::nullopt,
                   .user = "Émilie",
                   .password = "héllo wörld",
                   .pinnedKey = kPin});
}

TEST(ServerSettingsFile, KeepsTheBuiltInValueOfEveryKeyTheFileLeavesOut) {
  for (const std::string& text : {std::string(), std::string("\xEF\xBB\xBF"),
                                  std::string("; nothing yet\n\n"), std::string("[server]\n")}) {
    ExpectSame(ParseServerSettings(text, Built()), Built());
  }
  ServerSettings expected = Built();
  expected.port = 990;
  ExpectSame(ParseServerSettings("[server]\nport = 990\n", Built()), expected);
}

TEST(ServerSettingsFile, PinsTheBuiltInKeyOnlyForTheBuiltInHost) {
  // Host names compare without regard to case: the same server keeps its key.
  EXPECT_EQ(ParseServerSettings("[server]\nhost = BUILT.example.NET\n", Built()).pinnedKey, kPin);
  // Another server's key is not the built-in one: none is pinned unless the file gives one.
  EXPECT_EQ(ParseServerSettings("[server]\nhost = 127.0.0.1\n", Built()).pinnedKey, "");
  EXPECT_EQ(ParseServerSettings(
                "[server]\nhost = other.example.org\npinned_key = " + kOtherPin + "\n", Built())
                .pinnedKey,
            kOtherPin);
  // An empty key unpins the built-in server.
  EXPECT_EQ(ParseServerSettings("[server]\npinned_key =\n", Built()).pinnedKey, "");
}

struct Refusal {
  std::string text;
  int line;
  std::string because;  // a part of the description after "tunelift.ini, line N: "
};

TEST(ServerSettingsFile, RefusesEachLineItCannotUnderstandNamingTheFileAndTheLine) {
  const std::string password = "password = secret\n";
  const std::vector<Refusal> refusals{
      // No section, or not the one section.
      {"host = a.example.net\n", 1, "comes before the [server] section"},
      {"; comment\n\n[station]\nhost = a\n", 3, "the section [station] is unknown"},
      {"[server\n", 1, "between [ and ]"},
      {"[server]\nhost = a\n[server]\n", 3, "a second [server] section"},
      // Lines that are neither a key, a section nor a comment.
      {"[server]\nhost a.example.net\n", 2, "expected a [server] section, a key = value line"},
      {"[server]\n// comment\n", 2, "expected a [server] section"},
      // Keys it does not know, or given twice.
      {"[server]\nhots = a.example.net\n", 2, "the key 'hots' is unknown"},
      {"[server]\nHost = a.example.net\n", 2, "the key 'Host' is unknown"},
      {"[server]\n= a.example.net\n", 2, "the key '' is unknown"},
      {"[server]\nhost = a\nport = 21\nhost = b\n", 4,
       "the key 'host' was already given on line 2"},
      // A host that is not a plain host name (cmake/ServerSettings.cmake's rule).
      {"[server]\nhost = ftp example.org\n", 2, "host must be a plain host name"},
      {"[server]\nhost =\n", 2, "host must be a plain host name"},
      {"[server]\nhost = ftp.example.org:21\n", 2, "host must be a plain host name"},
      {"[server]\nhost = \"ftp.example.org\"\n", 2, "host must be a plain host name"},
      {"[server]\nhost = [::1]\n", 2, "host must be a plain host name"},
      // Bad ports.
      {"[server]\nport = 0\n", 2, "port must be a whole number from 1 to 65535, got '0'"},
      {"[server]\nport = 65536\n", 2, "got '65536'"},
      {"[server]\nport = -21\n", 2, "got '-21'"},
      {"[server]\nport = 21a\n", 2, "got '21a'"},
      {"[server]\nport = 2 1\n", 2, "got '2 1'"},
      {"[server]\nport =\n", 2, "got ''"},
      // Pinned keys not of the sha256//BASE64 form (cmake/ServerSettings.cmake's rule).
      {"[server]\npinned_key = 5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5lY=\n", 2,
       "pinned_key must be libcurl's sha256//BASE64 form"},
      {"[server]\npinned_key = sha256//5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5l=\n", 2,
       "pinned_key must be"},
      {"[server]\npinned_key = sha256//5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5lZ=\n", 2,
       "pinned_key must be"},
      {"[server]\npinned_key = " + kPin + ";\n", 2, "pinned_key must be"},
      {"[server]\npinned_key = " + kPin + "; " + kOtherPin + "\n", 2, "pinned_key must be"},
      {"[server]\npinned_key = sha1//5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5lY=\n", 2,
       "pinned_key must be"},
      // Values that would break the script's lines, or leave the login without one.
      {"[server]\npassword = new\rline\n", 2, "control character (U+000D)"},
      {"[server]\nuser = tab\there\n", 2, "control character (U+0009)"},
      {"[server]\nuser = bell\a\n", 2, "control character (U+0007)"},
      {"[server]\n" + password + "user = next\xC2\x85line\n", 3, "control character (U+0085)"},
      {"[server]\nuser = del\x7F\n", 2, "control character (U+007F)"},
      {"[server]\nuser =\n", 2, "user is empty"},
      {"[server]\npassword =   \n", 2, "password is empty"},
      {"[server]\npassword = " + std::string(1025, 'x') + "\n", 2, "longer than 1024 bytes"},
      // Text that is not UTF-8, even in a comment.
      {"[server]\n; caf\xE9\n", 2, "it is not UTF-8 text"},
      {"[server]\nuser = \xC0\xAF\n", 2, "it is not UTF-8 text"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF[server]\n", 1, "expected a [server] section"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.text);
    try {
      ParseServerSettings(refusal.text, Built());
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), errnum::kInvalidFileFormat);
      const std::string start = "tunelift.ini, line " + std::to_string(refusal.line) + ": ";
      EXPECT_EQ(error.description().rfind(start, 0), 0u) << error.description();
      EXPECT_NE(error.description().find(refusal.because), std::string::npos)
          << error.description();
    }
  }
}

TEST(ServerSettingsFile, NeverRepeatsThePasswordInItsMessage) {
  try {
    ParseServerSettings("[server]\npassword = Secret\tTracks\n", Built());
    FAIL() << "a tab inside the password must be refused";
  } catch (const Error& error) {
    EXPECT_EQ(error.description().find("Secret"), std::string::npos) << error.description();
  }
}

TEST(ServerSettingsFile, RefusesAFileLargerThanAnySettingsFile) {
  const std::string huge = "[server]\n" + std::string(kLargestSettingsFile, ';') + "\n";
  try {
    ParseServerSettings(huge, Built());
    FAIL() << "accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kInvalidFileFormat);
    EXPECT_EQ(error.description().rfind("tunelift.ini: it is larger than any settings file", 0), 0u)
        << error.description();
  }
}

using LoadSettings = ProgramFolderTest;

TEST_F(LoadSettings, GivesTheBuiltInValuesWithoutAFile) {
  ExpectSame(LoadServerSettings(Text(root_)), BuiltInServerSettings());
}

TEST_F(LoadSettings, ReadsTheFileInTheProgramFolder) {
  WriteFile(root_ / "tunelift.ini", "[server]\r\nhost = 127.0.0.1\r\nport = 2121\r\n");
  const ServerSettings got = LoadServerSettings(Text(root_));
  EXPECT_EQ(got.host, "127.0.0.1");
  EXPECT_EQ(got.port, 2121);
  EXPECT_EQ(got.user, BuiltInServerSettings().user);
  EXPECT_EQ(got.pinnedKey, "");  // another host than the built-in one
}

TEST_F(LoadSettings, RefusesAMalformedFileWithItsLine) {
  WriteFile(root_ / "tunelift.ini", "[server]\nhost = 127.0.0.1\nport = twenty-one\n");
  try {
    LoadServerSettings(Text(root_));
    FAIL() << "accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kInvalidFileFormat);
    EXPECT_EQ(error.description(),
              "tunelift.ini, line 3: port must be a whole number from 1 to 65535, got "
              "'twenty-one'.");
  }
}

TEST_F(LoadSettings, RefusesAFolderOfThatNameNamingItsPath) {
  fs::create_directory(root_ / "tunelift.ini");
  try {
    LoadServerSettings(Text(root_));
    FAIL() << "a folder is no settings file";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), errnum::kPathFileAccess);
    EXPECT_EQ(error.description(), "Cannot read the settings file '" +
                                       Text(root_ / "tunelift.ini") +
                                       "': it is a folder, not a file.");
  }
}

TEST_F(LoadSettings, RefusesAFileLargerThanAnySettingsFile) {
  WriteFile(root_ / "tunelift.ini", std::string(kLargestSettingsFile * 3, '#'));
  EXPECT_THROW(LoadServerSettings(Text(root_)), Error);
}

using ScriptFromSettings = ProgramFolderTest;

TEST_F(ScriptFromSettings, OpensTheFilesHostAndPortAndLogsInWithItsAccount) {
  WriteFile(root_ / "tunelift.ini",
            "[server]\nhost = 127.0.0.1\nport = 2121\nuser = Night Shift\npassword = p w\n");
  StagingArea area(*services_, LoadServerSettings(Text(root_)));
  area.PrepareFolders();
  area.WriteUploadScript();
  EXPECT_EQ(ReadFile(root_ / "sendfiles.ftps"),
            "prompt\r\nopen 127.0.0.1 2121\r\nNight Shift\r\np w\r\nbinary\r\nmput temp\\*.mp3\r\n"
            "bye\r\n");
}

TEST_F(ScriptFromSettings, NamesNoPortWhereTheFileGivesNone) {
  WriteFile(root_ / "tunelift.ini", "[server]\nhost = ftp.example.org\n");
  ServerSettings server = LoadServerSettings(Text(root_));
  EXPECT_EQ(UploadScriptText(server), "prompt\r\nopen ftp.example.org\r\n" + server.user + "\r\n" +
                                          server.password +
                                          "\r\nbinary\r\nmput temp\\*.mp3\r\nbye");
}

}  // namespace
}  // namespace tunelift::testing
