// An mput over several connections at once: one session per extra connection, each on its own
// thread with its own transport and console, all taking files from one queue and writing to
// the session's report and transcript.
#include <algorithm>
#include <cstddef>
#include <latch>
#include <memory>
#include <sstream>
#include <thread>

#include "file_queue.h"
#include "session.h"
#include "to_both.h"
#include "text/utf8_path.h"

namespace tunelift::ftp {
namespace {

// One more connection of a parallel mput, and what its session needs of its own.
struct ExtraConnection {
  ExtraConnection(Console& main, SendReport& report, const TransportMaker& makeTransport,
                  SessionOptions options)
      : console(main),
        observer(console, report),
        transport(makeTransport(observer)),
        input(noInput),
        session(*transport, console, input, report, std::move(options)) {}

  Console console;
  ToBoth observer;
  std::unique_ptr<Transport> transport;
  std::istringstream noInput;  // it reads no commands: the files come from the queue
  LineReader input;
  Session session;
};

}  // namespace

// One parallel mput: the queue, the extra connections and their threads. It outlives the
// mput while the extra connections say goodbye (ftp.exe's next command goes on meanwhile).
struct ParallelSend {
  ParallelSend(const std::vector<std::filesystem::path>& files, std::size_t extras, Console& main)
      : queue(files),
        notices(main),
        count(extras, notices),
        sending(static_cast<std::ptrdiff_t>(extras)) {}

  FileQueue queue;
  Console notices;
  ConnectionCount count;
  // Counts down as each extra connection is done with the files: refused, or the queue empty.
  std::latch sending;
  std::vector<std::unique_ptr<ExtraConnection>> connections;
  std::vector<std::jthread> threads;  // declared last, so joined first
};

Session::~Session() {
  EndExtras();
}

void Session::DeleteParallelSend::operator()(ParallelSend* run) const noexcept {
  delete run;
}

void Session::EndExtras() {
  extras_.reset();
}

void Session::SendInParallel(const std::vector<std::filesystem::path>& files) {
  EndExtras();
  const std::size_t extras = std::min(options_.connections, files.size()) - 1;
  auto run = std::make_unique<ParallelSend>(files, extras, console_);
  SessionOptions extraOptions = options_;
  extraOptions.prompting = false;
  extraOptions.interactive = false;
  extraOptions.connections = 1;
  extraOptions.transports = {};
  for (std::size_t i = 0; i < extras; ++i) {
    try {
      run->connections.push_back(
          std::make_unique<ExtraConnection>(console_, report_, options_.transports, extraOptions));
    } catch (const TransportError& error) {
      run->count.Refused(Sentence(error, {}));  // the library could not even make one more
      run->sending.count_down();
      continue;
    }
    Session& extra = run->connections.back()->session;
    extra.StandLike(*this, i + 2);
    run->threads.emplace_back([&extra, &run = *run] { extra.ServeExtra(run); });
  }
  SendQueued(run->queue);
  run->sending.wait();
  for (const auto& connection : run->connections) {
    failed_ = failed_ || connection->session.failed_;
  }
  const std::vector<std::filesystem::path> rest = run->queue.TakeRest();
  ReportNotSent(rest.cbegin(), rest.cend());
  extras_.reset(run.release());
  if (options_.interactive) {
    EndExtras();  // their goodbyes come before the next prompt
  }
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
    inParallel_ = true;
    gaveBack_ = false;
    try {
      Send(*file, name);
    } catch (...) {
      console_.Release();  // what was said of the file stays in the transcript
      queue.Done();        // no other connection may wait for it
      throw;
    }
    inParallel_ = false;
    console_.Release();
    if (gaveBack_) {
      queue.GiveBack(*file);
    } else {
      queue.Done();
    }
  }
}

void Session::StandLike(const Session& main, std::size_t connection) {
  connection_ = connection;
  host_ = main.host_;
  endpoint_ = main.endpoint_;
  user_ = main.user_;
  password_ = main.password_;
  folders_ = main.folders_;
  // Each store names its type: the connection need not announce it first.
  typeSet_ = false;
  type_ = main.type_;
  // Where the server refused encryption, asking again on each connection only costs time.
  endpoint_.encryptionRefused = endpoint_.pinnedKey.empty() && main.transport_.CanEncrypt() &&
                                main.transport_.EncryptionInUse() == Encryption::None;
}

void Session::ServeExtra(ParallelSend& run) {
  console_.Hold();
  try {
    Reestablish();
  } catch (const TransportError& error) {
    // The server's limit, not a failure: the other connections take the files. What it
    // said is told once for all, by the count.
    Disconnect();
    console_.Discard();
    const ServerReply& reply = error.reply();
    run.count.Refused(reply.code != 0 ? std::to_string(reply.code) + " " + reply.text
                                      : Sentence(error, {}));
    return run.sending.count_down();
  }
  console_.Release();
  run.count.Accepted();
  try {
    SendQueued(run.queue);
  } catch (const std::exception& error) {
    // Nothing may leave a thread: what no file's handling expected ends this connection.
    Fail(error.what());
  }
  run.sending.count_down();  // after the last failure it tells: the mput reads them now
  console_.Hold();
  Disconnect();
  console_.Release();
}

}  // namespace tunelift::ftp
