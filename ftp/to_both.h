#pragma once
// What a transport reports goes to the transcript, and what the report keeps to the report.
// One per transport: a parallel mput gives each connection its own, over its own console.

#include <cstdint>
#include <string_view>

#include "console.h"
#include "send_report.h"
#include "transport.h"

namespace tunelift::ftp {

class ToBoth final : public TransportObserver {
public:
  // Both must outlive the observer.
  ToBoth(Console& console, SendReport& report) : console_(console), report_(report) {}

  void OnConnected(std::string_view host) override { console_.OnConnected(host); }
  void OnReply(std::string_view line) override { console_.OnReply(line); }
  void OnCommandSent(std::string_view line) override { console_.OnCommandSent(line); }
  void OnControlEncryption(ControlEncryption encryption) override {
    console_.OnControlEncryption(encryption);
    report_.ControlEncryption(encryption);
  }
  void OnProgress(std::int64_t sent, std::int64_t total) override {
    console_.OnProgress(sent, total);
    report_.Progress(sent);
  }

private:
  Console& console_;
  SendReport& report_;
};

}  // namespace tunelift::ftp
