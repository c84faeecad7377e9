#pragma once
// The dialect of the Windows command-line client: reads commands one line at a time and
// carries them out over a Transport, writing the transcript to a Console. A command that
// fails is reported and the next one runs; the exit status remembers that something failed.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "console.h"
#include "line_reader.h"
#include "send_report.h"
#include "server_pin.h"
#include "transport.h"

namespace tunelift::ftp {

class FileQueue;
struct ParallelSend;

struct SessionOptions {
  bool autoLogin = true;  // "open" reads the user name and the password from the next lines
  bool prompting = true;  // mput asks about each file; "prompt" toggles it
  // The commands come from a terminal: questions wait on their own line for the answer, and
  // commands are not echoed (the terminal shows them as they are typed).
  bool interactive = false;
  // Where relative local names start; "lcd" changes it. The process's own stays as it is.
  std::filesystem::path localFolder;
  // The build's pinned key: a connection to its host must be encrypted and present it. A
  // transport that cannot encrypt is not even opened for that host.
  ServerPin pin = {};
  // How many connections an mput without prompting may use at once, the session's own among
  // them; more are made with `transports`. 1, or no `transports`: the session's own alone.
  std::size_t connections = 1;
  TransportMaker transports = {};
  // How long to wait before each new connection after one dropped in the middle of a file:
  // one entry per attempt, so their number bounds the attempts for one file.
  std::vector<std::chrono::milliseconds> reconnectWaits = {
      std::chrono::seconds(2), std::chrono::seconds(5), std::chrono::seconds(10)};
};

class Session {
public:
  // All four must outlive the session.
  Session(Transport& transport, Console& console, LineReader& input, SendReport& report,
          SessionOptions options);
  // Waits for the extra connections of the last mput to say goodbye.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Opens `host` first unless it is empty, then runs commands until "bye" or the end of the
  // input. Returns the exit status: 0 when every command succeeded, 1 otherwise.
  int Run(const std::string& host);

private:
  enum class Answer { Send, Skip, Stop };

  void RunCommand(const std::string& line);
  void Dispatch(Verb verb, const std::vector<std::string>& args);
  void Open(const std::vector<std::string>& args);
  void SkipLoginLines();
  void User(const std::vector<std::string>& args);
  void LogIn(const std::optional<std::string>& user, const std::optional<std::string>& password);
  void SetType(TransferType type);
  void Type(const std::vector<std::string>& args);
  void Put(const std::vector<std::string>& args);
  void Mput(const std::vector<std::string>& args);
  void SendMatches(const std::string& pattern);
  // The files of one mput over up to options_.connections connections at once, the session's
  // own among them (parallel_sending.cpp).
  void SendInParallel(const std::vector<std::filesystem::path>& files);
  // Sends files from `queue` over this session's connection until none is left or the
  // connection is gone; each file's lines go out together.
  void SendQueued(FileQueue& queue);
  // A session for one more connection of `main`'s, numbered `connection` in the transcript:
  // the same server, login, folders and type. Nothing is sent yet.
  void StandLike(const Session& main, std::size_t connection);
  // On its own thread: connects and logs in as StandLike said, then sends from the run's
  // queue and closes. A connection the server does not take is counted, not a failure.
  void ServeExtra(ParallelSend& run);
  // Waits for the extra connections of the last parallel mput to close.
  void EndExtras();
  void Send(const std::filesystem::path& local, const std::string& remote);
  // One file to its end: stored, resumed after drops, verified; false when it failed.
  bool SendVerified(const std::filesystem::path& local, const std::string& remote,
                    std::size_t entry);
  // After a verified or unverifiable store; false when the server's copy is wrong.
  enum class Check { Verified, NotVerified, Mismatch };
  Check Verify(const std::string& remote, std::int64_t localSize, std::int64_t wireBytes,
               std::int64_t& held);
  // Connects and logs in again after a drop, waiting first; false when every attempt failed
  // or the server refused the login. `attempt` counts the drops of this file so far.
  bool Reconnect(std::size_t& attempt, const std::string& remote, std::size_t entry);
  void Reestablish();
  // Where a file cut short resumes: the size of the server's copy, where it can resume.
  std::int64_t ResumeOffset(const std::string& remote, std::int64_t localSize);
  // Deletes the server's wrong copy of `remote`, saying so; a failure is only told.
  void DeleteWrongCopy(const std::string& remote);
  void FailFile(std::size_t entry, const std::string& text, const ServerReply& reply = {});
  // Why a connection gives up on a file: the failure as told where no other connection can
  // take the file, the reason alone, and the server's last reply.
  struct GivenUp {
    std::string failure;
    std::string reason;
    ServerReply reply = {};
  };
  // The connection cannot come back to send `remote`: in a parallel mput the file goes back to
  // the queue for the other connections (gaveBack_); otherwise it fails.
  void GiveUpFile(std::size_t entry, const std::string& remote, const GivenUp& why);
  void Cd(const std::vector<std::string>& args);
  void Lcd(const std::vector<std::string>& args);
  void Help();
  Answer Confirm(const std::string& shown);

  std::optional<std::string> Ask(const std::string& question);
  // The login's answers. At a terminal they are asked for, and a password typed does not
  // show. From a script they are read at once, and their question shows when the answer
  // goes to the server, after the connection's greeting.
  std::optional<std::string> AskUser(const std::string& question);
  // The next line as an answer; a line too long to be one is reported and taken as none.
  std::optional<std::string> ReadAnswer();
  std::optional<std::string> AskPassword();
  bool RequireLogin();
  void Disconnect();
  void Fail(const std::string& text);
  // A failure with its number, as "TEXT (error NUMBER)".
  void Fail(const std::string& text, int number);
  // Reports `error` (of the session, not of one file) and closes a session that it ended.
  // `refused`: what the server refused, to name it where the server answered with a refusal.
  void Report(const TransportError& error, const std::string& refused = {});
  // The sentence for `error`: the server's refusal of `refused` with its own words, or the
  // transport's words, with the library's number where they are the library's.
  static std::string Sentence(const TransportError& error, const std::string& refused);
  // Ends the session that a failure of this stage closed.
  void DisconnectAfter(const TransportError& error);
  // Reports the files from `first` on as not sent, the connection being gone.
  void ReportNotSent(std::vector<std::filesystem::path>::const_iterator first,
                     std::vector<std::filesystem::path>::const_iterator last);

  Transport& transport_;
  Console& console_;
  LineReader& input_;
  SendReport& report_;
  SessionOptions options_;
  std::string host_;
  // What a new connection after a drop needs to stand where the session stood.
  Endpoint endpoint_;
  std::string user_;
  std::string password_;
  std::vector<std::string> folders_;  // each "cd" that succeeded, in order
  bool typeSet_ = false;
  TransferType type_ = TransferType::Ascii;  // as on Windows, until "binary"
  bool open_ = false;
  bool loggedIn_ = false;
  bool failed_ = false;
  bool done_ = false;
  std::size_t connection_ = 1;  // its number among an mput's connections
  bool inParallel_ = false;     // sending one of the files of a parallel mput
  bool gaveBack_ = false;       // that file went back to the queue
  // The last parallel mput's extra connections, while they say goodbye; deleting waits for
  // them (parallel_sending.cpp, where the type is whole).
  struct DeleteParallelSend {
    void operator()(ParallelSend* run) const noexcept;
  };
  std::unique_ptr<ParallelSend, DeleteParallelSend> extras_;
};

}  // namespace tunelift::ftp
