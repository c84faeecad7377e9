#pragma once
// The report of a run for the program that started the client: the server, the encryption,
// and each file's state, as data rather than prose (README: "The send report"). A server's
// words are fields in it, never lines of the client's own. The whole file is written anew at
// each change, beside it first and then renamed over it, so a reader always finds one whole
// snapshot; the last record, "end", tells a finished run from one cut short.
// Every call may come from any thread: the connections of a parallel mput share one report.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <string>
#include <vector>

#include "transport.h"

namespace tunelift::ftp {

enum class FileState { Waiting, Sending, Verified, SentNotVerified, Failed };

class SendReport {
public:
  // Writes to `path`; an empty path writes nothing.
  explicit SendReport(std::filesystem::path path);

  void Server(const std::string& host);
  void ControlEncryption(ControlEncryption encryption);
  void FilesEncryption(Encryption encryption);
  // A file the run will send, waiting; returns its place for the calls below. A name already
  // listed and not yet sent keeps its place.
  std::size_t AddFile(const std::string& name, std::int64_t size);
  // The file waits again, for another connection to send it from the start.
  void Waiting(std::size_t file);
  // The file's bytes go now, after the `offset` the server already holds, from the calling
  // thread's connection.
  void Sending(std::size_t file, std::int64_t offset);
  // Bytes of the file that the calling thread is sending, counted from its offset; written
  // at most twice a second.
  void Progress(std::int64_t sent);
  void Sent(std::size_t file, std::int64_t held, bool verified);
  void Failed(std::size_t file, const std::string& reason, const ServerReply& reply);
  // A failure that belongs to no one file (the server not found, the login refused).
  void Failure(const std::string& reason, const ServerReply& reply);
  // The closing record.
  void End(int exitStatus);

  // The errno of the last write, when it failed (a later one may still succeed); 0 when the
  // report on disk is the latest.
  int writeError() const;

private:
  struct File {
    std::string name;
    std::int64_t size = 0;
    std::int64_t sent = 0;
    std::int64_t offset = 0;
    FileState state = FileState::Waiting;
    std::string reason = {};
    ServerReply reply = {};
  };
  struct Failing {
    std::string reason;
    ServerReply reply;
  };

  std::string Text() const;
  // Writes the whole file; the caller holds mutex_.
  void Write();
  // The file's sending ends: progress belongs to it no more.
  void StopSending(std::size_t file);

  mutable std::mutex mutex_;

  std::filesystem::path path_;
  std::string server_;
  std::string encryption_;
  std::string identity_;
  std::vector<File> files_;
  std::vector<Failing> failures_;
  // Which file each connection's thread is sending.
  std::vector<std::pair<std::thread::id, std::size_t>> sending_;
  std::string end_;
  std::chrono::steady_clock::time_point lastWrite_{};
  int writeError_ = 0;
};

}  // namespace tunelift::ftp
