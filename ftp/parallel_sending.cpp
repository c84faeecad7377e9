// An mput over several connections at once: one session per extra connection, each on its own
// thread with its own transport and console, all taking files from one queue and writing to
// the session's report and transcript.
#include <algorithm>
#include <memory>
#include <sstream>
#include <thread>

#include "ftp/file_queue.h"
#include "ftp/session.h"
#include "ftp/to_both.h"
#include "listing/utf8_path.h"

namespace tunelift::ftp {
namespace {

// One more connection of a parallel mput, and what its session needs of its own.
struct ExtraConnection {
  ExtraConnection(Console& main, SendReport& report, const TransportMaker& makeTransport,
                  SessionOptions options)
      : console(main), observer(console, report), transport(makeTransport(observer)),
        input(noInput), session(*transport, console, input, report, std::move(options)) {}

  Console console;
  ToBoth observer;
  std::unique_ptr<Transport> transport;
  std::istringstream noInput;  // it reads no commands: the files come from the queue
  LineReader input;
  Session session;
};

}  // namespace

void Session::SendInParallel(const std::vector<std::filesystem::path>& files) {
  FileQueue queue(files);
  SessionOptions extraOptions = options_;
  extraOptions.prompting = false;
  extraOptions.interactive = false;
  extraOptions.connections = 1;
  extraOptions.transports = {};
  const std::size_t extras = std::min(options_.connections, files.size()) - 1;
  std::vector<std::unique_ptr<ExtraConnection>> connections;
  for (std::size_t i = 0; i < extras; ++i) {
    connections.push_back(std::make_unique<ExtraConnection>(console_, report_,
                                                            options_.transports, extraOptions));
    connections.back()->session.StandLike(*this, i + 2);
  }
  Console notices(console_);
  ConnectionCount count(extras, notices);
  {
    std::vector<std::jthread> threads;
    for (const auto& connection : connections) {
      threads.emplace_back([&queue, &count, &connection] {
        connection->session.ServeExtra(queue, count);
      });
    }
    SendQueued(queue);
  }
  for (const auto& connection : connections) {
    failed_ = failed_ || connection->session.failed_;
  }
  const std::vector<std::filesystem::path> rest = queue.TakeRest();
  ReportNotSent(rest.cbegin(), rest.cend());
}

void Session::SendQueued(FileQueue& queue) {
  while (loggedIn_) {
    const std::optional<std::filesystem::path> file = queue.Next();
    if (!file) {
      return;
    }
    const std::string name = Utf8FromPath(file->filename());
    console_.Hold();
    // Files finish in no set order: each block says which file it is, and over which
    // connection.
    console_.Say("Sending " + name + " over connection " + std::to_string(connection_) + ".");
    Send(*file, name);
    console_.Release();
  }
}

void Session::StandLike(const Session& main, std::size_t connection) {
  connection_ = connection;
  host_ = main.host_;
  endpoint_ = main.endpoint_;
  user_ = main.user_;
  password_ = main.password_;
  folders_ = main.folders_;
  typeSet_ = main.typeSet_;
  type_ = main.type_;
}

void Session::ServeExtra(FileQueue& queue, ConnectionCount& count) {
  console_.Hold();
  try {
    Reestablish();
  } catch (const TransportError& error) {
    // The server's limit, not a failure: the other connections take the files. What it
    // said is told once for all, by the count.
    Disconnect();
    console_.Discard();
    const ServerReply& reply = error.reply();
    return count.Refused(reply.code != 0 ? std::to_string(reply.code) + " " + reply.text
                                         : Sentence(error, {}));
  }
  console_.Release();
  count.Accepted();
  try {
    SendQueued(queue);
  } catch (const std::exception& error) {
    // Nothing may leave a thread: what no file's handling expected ends this connection.
    Fail(error.what());
  }
  console_.Hold();
  Disconnect();
  console_.Release();
}

}  // namespace tunelift::ftp
