#pragma once
// The report the FTP client writes of one send, where TUNELIFT_FTP_REPORT tells it: its
// server, whether the connection was encrypted and the server's identity checked, each file
// with its state, the failures not tied to a file, and the closing record with the client's
// exit status. The text comes from another program and holds a server's words: nothing in it
// is trusted. ParseUploadReport throws tunelift::Error (errnum::kInvalidFileFormat) for a
// report that does not keep to the format; it never reads past the text it is given.
//
// The format: UTF-8 lines ended by LF, fields separated by TAB, the first line
// "tunelift-send-report<TAB>1". In text fields a backslash, a tab, a line feed and a carriage
// return are written \\, \t, \n and \r; every other byte stands as it is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunelift {

inline constexpr std::string_view kUploadReportFirstLine = "tunelift-send-report\t1";

enum class Encryption {
  Everything,    // commands and files
  CommandsOnly,  // the server refused to encrypt the files
  None,
};

enum class ServerIdentity {
  Verified,     // a trusted certificate or the pinned key
  NotVerified,  // encrypted, but a self-signed or unknown certificate
  NotChecked,   // not encrypted
};

enum class FileState {
  Waiting,
  Sending,
  Verified,         // the server's size (or hash) matched
  SentNotVerified,  // stored, but the server cannot say what it holds
  Failed,
};

// One file the script asked to send.
struct ReportedFile {
  std::string name;
  std::uint64_t size = 0;  // the local size in bytes
  std::uint64_t sent = 0;  // the bytes the server holds so far
  FileState state = FileState::Waiting;
  int replyCode = 0;      // the server's last reply to it; 0 when there was none
  std::string replyText;  // the server's words: data, never the client's
  std::string reason;     // the client's words for a person, for a failed file
};

// A failure not tied to one file: the host not found, the login refused, a script line.
struct ReportedFailure {
  int replyCode = 0;
  std::string replyText;
  std::string reason;
};

struct UploadReport {
  // The session's server, its encryption and identity: absent until a connection was made.
  std::optional<std::string> server;
  std::optional<Encryption> encryption;
  std::optional<ServerIdentity> identity;
  std::vector<ReportedFile> files;        // in the order the client takes them
  std::vector<ReportedFailure> failures;  // in order
  // The exit status of the closing record; absent when the report was cut short (a killed
  // client, a full disk), and then how the send ended is unknown.
  std::optional<std::uint32_t> exitStatus;
};

// The report in `text`, any bytes. Records of kinds it does not know are left out; a wrong
// first line, a malformed record (a wrong number of fields, a number that is not one, an
// unknown state or escape, a raw carriage return, a second server, encryption, identity or
// end record, anything after the end) makes the whole report unreadable: it throws, naming
// the line. A last line without its LF was not written whole: the report stops before it.
UploadReport ParseUploadReport(std::string_view text);

}  // namespace tunelift
