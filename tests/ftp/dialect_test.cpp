// How the client reads its command line, its commands and its folder changes.
#include <gtest/gtest.h>

#include <sstream>

#include "ftp/command.h"
#include "ftp/connect_to.h"
#include "ftp/console.h"
#include "ftp/line_reader.h"
#include "ftp/options.h"
#include "ftp/remote_folder.h"

namespace tunelift::ftp {
namespace {

std::optional<Config> Parse(std::initializer_list<std::string_view> arguments) {
  const std::vector<std::string_view> list(arguments);
  return ParseArguments(list);
}

TEST(FtpArguments, ReadsTheOptionsOfTheWindowsClient) {
  const std::optional<Config> config =
      Parse({"-v", "-d", "-i", "-n", "-s:send files.ftps", "host.example"});
  ASSERT_TRUE(config);
  EXPECT_EQ(config->scriptFile, std::filesystem::path("send files.ftps"));
  EXPECT_FALSE(config->showReplies);
  EXPECT_TRUE(config->showCommands);
  EXPECT_FALSE(config->prompting);
  EXPECT_FALSE(config->autoLogin);
  EXPECT_EQ(config->host, "host.example");

  const std::optional<Config> plain = Parse({});
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->scriptFile);
  EXPECT_TRUE(plain->showReplies && plain->prompting && plain->autoLogin);
  EXPECT_FALSE(plain->showCommands);
  EXPECT_EQ(plain->host, "");
}

TEST(FtpArguments, RefusesWhatItDoesNotKnow) {
  EXPECT_FALSE(Parse({"-x"}));
  EXPECT_FALSE(Parse({"-s:"}));
  EXPECT_FALSE(Parse({"-s"}));
  EXPECT_FALSE(Parse({"-S:script"}));
  EXPECT_FALSE(Parse({"-vn"}));
  EXPECT_FALSE(Parse({"host", "-v"}));
  EXPECT_FALSE(Parse({"one", "two"}));
  EXPECT_FALSE(Parse({""}));
}

TEST(FtpCommands, NameCommandsWithoutRegardToCaseAndByUniqueAbbreviation) {
  using Result = VerbLookup::Result;
  const struct {
    std::string_view word;
    Result result;
    Verb verb;
  } cases[] = {
      {"mput", Result::Found, Verb::Mput},
      {"MPUT", Result::Found, Verb::Mput},
      {"bin", Result::Found, Verb::Binary},
      {"Prompt", Result::Found, Verb::Prompt},
      {"send", Result::Found, Verb::Put},
      {"disconnect", Result::Found, Verb::Close},
      {"quit", Result::Found, Verb::Bye},
      {"?", Result::Found, Verb::Help},
      {"cd", Result::Found, Verb::Cd},
      {"lcd", Result::Found, Verb::Lcd},
      {"b", Result::Ambiguous, Verb::Help},
      {"c", Result::Ambiguous, Verb::Help},
      {"mget", Result::Unknown, Verb::Help},
      {"binaryx", Result::Unknown, Verb::Help},
      {"DeckHopper", Result::Unknown, Verb::Help},
  };
  for (const auto& c : cases) {
    const VerbLookup lookup = FindVerb(c.word);
    EXPECT_EQ(lookup.result, c.result) << c.word;
    if (c.result == Result::Found) {
      EXPECT_EQ(lookup.verb, c.verb) << c.word;
    }
  }
}

TEST(FtpCommands, SplitWordsAtBlanksKeepingQuotedOnesWhole) {
  const struct {
    std::string_view line;
    std::vector<std::string> words;
  } cases[] = {
      {"mput temp\\*.mp3", {"mput", "temp\\*.mp3"}},
      {"  open\thost   21 ", {"open", "host", "21"}},
      {"put \"my song.mp3\" \"their song.mp3\"", {"put", "my song.mp3", "their song.mp3"}},
      {"put \"open quote", {"put", "open quote"}},
      {"cd \"\"", {"cd", ""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitWords(c.line), c.words) << c.line;
  }
}

TEST(FtpCommands, SpotControlCharactersThatWouldInjectCommands) {
  EXPECT_FALSE(HasControlCharacter("MovingTracks"));
  EXPECT_FALSE(HasControlCharacter("Grüße 2024.mp3"));
  EXPECT_TRUE(HasControlCharacter("Moving\r\nDELE x"));
  EXPECT_TRUE(HasControlCharacter("Moving\nTracks"));
  EXPECT_TRUE(HasControlCharacter(std::string_view("a\0b", 3)));
  EXPECT_TRUE(HasControlCharacter("tab\there"));
  EXPECT_TRUE(HasControlCharacter("del\x7f"));
}

TEST(FtpLineReader, DropsTheCrOfCrLfAndSkipsBlankCommandLines) {
  std::istringstream in("prompt\r\n\r\n   \nopen host\nanswer\r\n\r\nlast\r");
  LineReader reader(in);
  EXPECT_EQ(reader.NextNonBlank(), "prompt");
  EXPECT_EQ(reader.NextNonBlank(), "open host");
  EXPECT_EQ(reader.Next(), "answer");
  EXPECT_EQ(reader.Next(), "");  // an answer may be empty
  EXPECT_EQ(reader.NextNonBlank(), "last");
  EXPECT_EQ(reader.Next(), std::nullopt);
}

TEST(FtpLineReader, SkipsALineTooLongAndNamesItButReadsOn) {
  const std::string tooLong(kMaxLineLength + 1, 'x');
  std::istringstream in("prompt\n" + tooLong + "\r\n" + std::string(kMaxLineLength, 'y') + "\nbye");
  LineReader reader(in);
  EXPECT_EQ(reader.Next(), "prompt");
  try {
    reader.Next();
    FAIL() << "a line beyond the limit was read";
  } catch (const LineTooLong& error) {
    EXPECT_EQ(std::string(error.what()).find("Line 2 "), 0u) << error.what();
  }
  EXPECT_EQ(reader.Next(), std::string(kMaxLineLength, 'y'));
  EXPECT_EQ(reader.Next(), "bye");
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(reader.Next(), std::nullopt);
  EXPECT_TRUE(reader.AtEnd());
}

TEST(FtpLineReader, GivesUpOnALineThatDoesNotEndAtAll) {
  std::istringstream in("open host\n" + std::string(kMaxLineLength + kMaxSkippedLength + 2, '\0'));
  LineReader reader(in);
  EXPECT_EQ(reader.Next(), "open host");
  EXPECT_THROW(reader.Next(), InputError);
}

TEST(FtpRemoteFolder, FollowsCdAsTheServerWould) {
  const RemoteFolder home;
  const RemoteFolder music{.absolute = false, .segments = {"music"}};
  const struct {
    RemoteFolder from;
    std::string_view change;
    RemoteFolder to;
  } cases[] = {
      {home, "music", music},
      {home, "music/new//./", {false, {"music", "new"}}},
      {music, "..", home},
      {home, "..", {false, {".."}}},
      {music, "/", {true, {}}},
      {music, "/srv/in", {true, {"srv", "in"}}},
      {{true, {}}, "..", {true, {}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.from.Changed(c.change), c.to) << c.change;
  }
}

TEST(FtpConnectTo, SendsMatchingConnectionsElsewhereAsLibcurlDoes) {
  const Address music{.host = "music.example.net", .port = 21};
  const Address loopback{.host = "127.0.0.1", .port = 2121};
  const struct {
    std::string_view text;
    Address wanted;
    Address to;
  } cases[] = {
      {"music.example.net:21:127.0.0.1:2121", music, loopback},
      {"MUSIC.example.net:21:127.0.0.1:2121", music, loopback},
      {"::127.0.0.1:2121", {.host = "any.host", .port = 990}, loopback},
      {"music.example.net::127.0.0.1:2121", {.host = "music.example.net", .port = 2100}, loopback},
      {"other.example.net:21:127.0.0.1:2121", music, music},
      {"music.example.net:2100:127.0.0.1:2121", music, music},
      {"", music, music},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Redirected(ParseConnectTo(c.text), c.wanted), c.to) << c.text;
  }
  for (std::string_view bad :
       {"music.example.net:21:127.0.0.1", "a:21:b:0", "a:x:b:21", "a:21::21", "a:21:b:21:c"}) {
    EXPECT_FALSE(ParseConnectTo(bad)) << bad;
  }
}

TEST(FtpConsole, ReportsAFileAsTheWindowsClientDoes) {
  EXPECT_EQ(TransferSummary(2048, 0.5), "ftp: 2048 bytes sent in 0.50 Seconds 4.10 Kbytes/sec.");
  EXPECT_EQ(TransferSummary(3, 0), "ftp: 3 bytes sent in 0.00 Seconds 3.00 Kbytes/sec.");
}

TEST(FtpConsole, RewritesOneProgressLinePerFileOnlyOnATerminal) {
  std::ostringstream terminal;
  std::ostringstream file;
  Console onTerminal(terminal, {.showReplies = true, .showCommands = false, .showProgress = true});
  Console inFile(file, {.showReplies = true, .showCommands = false, .showProgress = false});
  for (Console* console : {&onTerminal, &inFile}) {
    console->BeginFile("a.mp3");
    console->OnProgress(5, 10);
    console->OnProgress(5, 10);
    console->OnProgress(10, 10);
    console->OnReply("226 Transfer complete.");
  }
  EXPECT_EQ(
      terminal.str(),
      "\ra.mp3:  50% (5 of 10 bytes)\ra.mp3: 100% (10 of 10 bytes)\n226 Transfer complete.\n");
  EXPECT_EQ(file.str(), "226 Transfer complete.\n");
}

TEST(FtpConsole, ShowsRepliesAndCommandsAsTheOptionsSay) {
  std::ostringstream quiet;
  std::ostringstream debug;
  Console withoutReplies(quiet,
                         {.showReplies = false, .showCommands = false, .showProgress = false});
  Console withCommands(debug, {.showReplies = true, .showCommands = true, .showProgress = false});
  for (Console* console : {&withoutReplies, &withCommands}) {
    console->OnCommandSent("TYPE I");
    console->OnReply("200 Type set to: Binary.");
    console->Error("Not connected.");
  }
  EXPECT_EQ(quiet.str(), "ftp: Not connected.\n");
  EXPECT_EQ(debug.str(), "---> TYPE I\n200 Type set to: Binary.\nftp: Not connected.\n");
}

TEST(FtpConsole, ShowsControlCharactersFromTheServerAsQuestionMarks) {
  std::ostringstream out;
  Console console(out, {.showReplies = true, .showCommands = true, .showProgress = false});
  console.OnReply("230 \x1b]0;owned\x07Welcome\rback\x7f\tÜ");
  console.Echo("open host\r");
  EXPECT_EQ(out.str(), "230 ?]0;owned?Welcome?back?\tÜ\nftp> open host?\n");
}

}  // namespace
}  // namespace tunelift::ftp
