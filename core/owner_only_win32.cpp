#include "owner_only_win32.h"

#include "core/win32_error.h"
#include "win32_handle.h"

namespace tunelift {
namespace {

const char* const kWhat = "Cannot make a file for its owner alone";

std::vector<BYTE> CurrentUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    throw LastWin32Error(kWhat);
  }
  const UniqueHandle owned = OwnHandle(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
    throw LastWin32Error(kWhat);
  }
  return user;
}

}  // namespace

OwnerOnlySecurity::OwnerOnlySecurity() : user_(CurrentUser()) {
  PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
  acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
  auto* acl = reinterpret_cast<ACL*>(acl_.data());
  // One entry, the user's; protected, so no entry of the folder's is inherited.
  const bool built =
      InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
      AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
      InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
      SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
      SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  if (!built) {
    throw LastWin32Error(kWhat);
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
}

}  // namespace tunelift
