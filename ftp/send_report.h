#pragma once
// The report of a run for the program that started the client: the server, the encryption,
// and each file's state, as data rather than prose (README: "The send report"). A server's
// words are fields in it, never lines of the client's own. The whole file is written anew at
// each change, beside it first and then renamed over it, so a reader always finds one whole
// snapshot; the last record, "end", tells a finished run from one cut short.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ftp/transport.h"

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
  // The file's bytes go now, after the `offset` the server already holds.
  void Sending(std::size_t file, std::int64_t offset);
  // Bytes of the file that is being sent, counted from its offset; written at most twice a
  // second.
  void Progress(std::int64_t sent);
  void Sent(std::size_t file, std::int64_t held, bool verified);
  void Failed(std::size_t file, const std::string& reason, const ServerReply& reply);
  // A failure that belongs to no one file (the server not found, the login refused).
  void Failure(const std::string& reason, const ServerReply& reply);
  // The closing record.
  void End(int exitStatus);

  // The errno of the last write, when it failed (a later one may still succeed); 0 when the
  // report on disk is the latest.
  int writeError() const { return writeError_; }

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
  void Write();

  std::filesystem::path path_;
  std::string server_;
  std::string encryption_;
  std::string identity_;
  std::vector<File> files_;
  std::vector<Failing> failures_;
  std::size_t sending_ = 0;
  bool anySending_ = false;
  std::string end_;
  std::chrono::steady_clock::time_point lastWrite_{};
  int writeError_ = 0;
};

}  // namespace tunelift::ftp
