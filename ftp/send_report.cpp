#include "send_report.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>
#include <thread>
#include <utility>

namespace tunelift::ftp {
namespace {

constexpr std::string_view kFirstLine = "tunelift-send-report\t1\n";
constexpr auto kProgressInterval = std::chrono::milliseconds(500);
constexpr int kEndTries = 5;
constexpr auto kEndRetryWait = std::chrono::milliseconds(100);

// A text field: nothing in it can end its field or its line.
std::string Field(std::string_view text) {
  std::string field;
  field.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\': field += "\\\\"; break;
      case '\t': field += "\\t"; break;
      case '\n': field += "\\n"; break;
      case '\r': field += "\\r"; break;
      default: field += c;
    }
  }
  return field;
}

std::string_view StateName(FileState state) {
  switch (state) {
    case FileState::Waiting: return "waiting";
    case FileState::Sending: return "sending";
    case FileState::Verified: return "verified";
    case FileState::SentNotVerified: return "sent-not-verified";
    case FileState::Failed: return "failed";
  }
  return "failed";
}

std::string ReplyFields(const ServerReply& reply) {
  return std::to_string(reply.code) + "\t" + Field(reply.text);
}

}  // namespace

SendReport::SendReport(std::filesystem::path path) : path_(std::move(path)) {}

void SendReport::Server(const std::string& host) {
  const std::lock_guard lock(mutex_);
  server_ = host;
  Write();
}

void SendReport::ControlEncryption(ftp::ControlEncryption encryption) {
  const std::lock_guard lock(mutex_);
  switch (encryption) {
    case ControlEncryption::Verified: identity_ = "verified"; break;
    case ControlEncryption::Unverified: identity_ = "not-verified"; break;
    case ControlEncryption::RefusedByServer:
    case ControlEncryption::Unsupported: identity_ = "not-checked"; break;
  }
  encryption_ = identity_ == "not-checked" ? "none" : "commands-only";
  Write();
}

void SendReport::FilesEncryption(Encryption encryption) {
  const std::lock_guard lock(mutex_);
  switch (encryption) {
    case Encryption::None: encryption_ = "none"; break;
    case Encryption::CommandsOnly: encryption_ = "commands-only"; break;
    case Encryption::Everything: encryption_ = "everything"; break;
  }
  identity_ = identity_.empty() ? "not-checked" : identity_;
  Write();
}

std::size_t SendReport::AddFile(const std::string& name, std::int64_t size) {
  const std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (files_[i].name == name && files_[i].state == FileState::Waiting) {
      return i;
    }
  }
  files_.push_back({.name = name, .size = size});
  Write();
  return files_.size() - 1;
}

void SendReport::Waiting(std::size_t file) {
  const std::lock_guard lock(mutex_);
  files_[file].state = FileState::Waiting;
  files_[file].sent = 0;
  files_[file].offset = 0;
  StopSending(file);
  Write();
}

void SendReport::Sending(std::size_t file, std::int64_t offset) {
  const std::lock_guard lock(mutex_);
  files_[file].state = FileState::Sending;
  files_[file].offset = offset;
  files_[file].sent = offset;
  StopSending(file);
  std::erase_if(sending_,
                [](const auto& entry) { return entry.first == std::this_thread::get_id(); });
  sending_.emplace_back(std::this_thread::get_id(), file);
  Write();
}

void SendReport::Progress(std::int64_t sent) {
  const std::lock_guard lock(mutex_);
  const auto mine = std::find_if(sending_.begin(), sending_.end(), [](const auto& entry) {
    return entry.first == std::this_thread::get_id();
  });
  if (mine == sending_.end()) {
    return;
  }
  File& file = files_[mine->second];
  file.sent = file.offset + sent;
  if (std::chrono::steady_clock::now() - lastWrite_ >= kProgressInterval) {
    Write();
  }
}

void SendReport::Sent(std::size_t file, std::int64_t held, bool verified) {
  const std::lock_guard lock(mutex_);
  files_[file].state = verified ? FileState::Verified : FileState::SentNotVerified;
  files_[file].sent = held;
  StopSending(file);
  Write();
}

void SendReport::Failed(std::size_t file, const std::string& reason, const ServerReply& reply) {
  const std::lock_guard lock(mutex_);
  files_[file].state = FileState::Failed;
  files_[file].reason = reason;
  files_[file].reply = reply;
  StopSending(file);
  Write();
}

void SendReport::Failure(const std::string& reason, const ServerReply& reply) {
  const std::lock_guard lock(mutex_);
  failures_.push_back({reason, reply});
  Write();
}

void SendReport::End(int exitStatus) {
  const std::lock_guard lock(mutex_);
  end_ = "end\t" + std::to_string(exitStatus) + "\n";
  // A reader that has the file open for a moment can hold off the rename on some systems;
  // the closing record is worth a few tries.
  for (int tries = 0; tries < kEndTries; ++tries) {
    Write();
    if (writeError_ == 0) {
      return;
    }
    std::this_thread::sleep_for(kEndRetryWait);
  }
}

int SendReport::writeError() const {
  const std::lock_guard lock(mutex_);
  return writeError_;
}

void SendReport::StopSending(std::size_t file) {
  std::erase_if(sending_, [file](const auto& entry) { return entry.second == file; });
}

std::string SendReport::Text() const {
  std::string text(kFirstLine);
  if (!server_.empty()) {
    text += "server\t" + Field(server_) + "\n";
  }
  if (!encryption_.empty()) {
    text += "encryption\t" + encryption_ + "\nidentity\t" + identity_ + "\n";
  }
  for (const File& file : files_) {
    text += "file\t" + Field(file.name) + "\t" + std::to_string(file.size) + "\t" +
            std::to_string(file.sent) + "\t" + std::string(StateName(file.state)) + "\t" +
            ReplyFields(file.reply) + "\t" + Field(file.reason) + "\n";
  }
  for (const Failing& failure : failures_) {
    text += "failure\t" + ReplyFields(failure.reply) + "\t" + Field(failure.reason) + "\n";
  }
  return text + end_;
}

void SendReport::Write() {
  if (path_.empty()) {
    return;
  }
  lastWrite_ = std::chrono::steady_clock::now();
  std::filesystem::path part = path_;
  part += ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << Text();
    out.flush();
    if (!out) {
      writeError_ = errno != 0 ? errno : EIO;
      return;
    }
  }
  // A failed write is tried again at the next change: the last one is what counts.
  std::error_code error;
  std::filesystem::rename(part, path_, error);
  writeError_ = error.value();
}

}  // namespace tunelift::ftp
