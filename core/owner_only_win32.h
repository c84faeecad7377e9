#pragma once
// Files that only their owner may open: the Windows analogue of mode 0600.

#include <windows.h>

#include <vector>

namespace tunelift {

// A security descriptor whose access list grants the user running the tool, and no one else,
// full access, and takes nothing from the folder's inherited entries. Given to CreateFileW
// when a file is made; it does not change a file that already exists.
class OwnerOnlySecurity {
public:
  // Throws tunelift::Error when the user's identity cannot be read.
  OwnerOnlySecurity();
  OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
  OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

private:
  std::vector<BYTE> user_;  // the TOKEN_USER of the process, which holds the user's SID
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace tunelift
