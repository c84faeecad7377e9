#pragma once
// The files of one mput that goes over several connections: handed out one at a time to
// whichever connection is free, largest first, so that no large file starts last and keeps
// one connection busy while the others are done. A file whose connection is gone comes back
// for another. Any thread may call.

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tunelift::ftp {

class Console;

class FileQueue {
public:
  // `files` in list order; the largest goes first, files of one size in list order.
  explicit FileQueue(const std::vector<std::filesystem::path>& files);

  // The next file to send; nullopt once every file is done. While none is left to take but
  // one that is being sent may still come back, waits. Each file taken ends with Done or
  // GiveBack.
  std::optional<std::filesystem::path> Next();
  // The file taken is done: sent, or failed for good.
  void Done();
  // The file taken goes back, first in line: its connection is gone.
  void GiveBack(const std::filesystem::path& file);
  // Takes every file no connection has taken, in list order.
  std::vector<std::filesystem::path> TakeRest();

private:
  struct Queued {
    std::filesystem::path file;
    std::size_t place = 0;  // in the list
  };

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::filesystem::path> list_;  // as given, for the places of files given back
  std::vector<Queued> files_;                // the next one last
  std::size_t notDone_ = 0;                  // files neither done nor given back
};

// How the connections an mput asked for beyond the session's own came up. Once each has
// come up or been refused, says once on the transcript how many the send goes on with.
// Any thread may call.
class ConnectionCount {
public:
  // `asked`: the connections beyond the session's own; `console` outlives the count.
  ConnectionCount(std::size_t asked, Console& console);

  void Accepted();
  // The server refused one, or closed it at once; `why` in the transcript's words.
  void Refused(const std::string& why);

private:
  // Counts one more settled; the last one says what came of them.
  void Settle();

  std::mutex mutex_;
  Console& console_;
  std::size_t asked_;
  std::size_t accepted_ = 0;
  std::size_t settled_ = 0;
  std::string firstRefusal_;
};

}  // namespace tunelift::ftp
