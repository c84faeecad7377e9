#include "win32_checks.h"

#include <aclapi.h>

#include <vector>

#include "core/owner_only_win32.h"

namespace tunelift::testing {
namespace {

std::vector<BYTE> CurrentUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return {};
  }
  const UniqueHandle owned = OwnHandle(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
    return {};
  }
  return user;
}

}  // namespace

bool IsForItsOwnerAlone(PSECURITY_DESCRIPTOR descriptor) {
  const std::vector<BYTE> user = CurrentUser();
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  void* entry = nullptr;
  return !user.empty() && GetSecurityDescriptorControl(descriptor, &control, &revision) &&
         (control & SE_DACL_PROTECTED) != 0 &&
         GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present &&
         dacl != nullptr && dacl->AceCount == 1 && GetAce(dacl, 0, &entry) &&
         static_cast<ACE_HEADER*>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
         EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart,
                  reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

bool IsForItsOwnerAlone(const std::filesystem::path& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool alone = IsForItsOwnerAlone(descriptor);
  LocalFree(descriptor);
  return alone;
}

bool FileSystemKeepsAccessLists(const std::filesystem::path& folder) {
  const std::filesystem::path probe = folder / "access-list-probe";
  OwnerOnlySecurity ownerOnly;
  const UniqueHandle file = OwnHandle(
      CreateFileW(probe.c_str(), GENERIC_WRITE, 0, ownerOnly.attributes(), CREATE_NEW, 0, nullptr));
  const bool kept = file && IsForItsOwnerAlone(probe);
  DeleteFileW(probe.c_str());
  return kept;
}

SearchPathOverride::SearchPathOverride(const std::filesystem::path& folder) {
  std::vector<wchar_t> saved(32768);
  const DWORD length =
      GetEnvironmentVariableW(L"PATH", saved.data(), static_cast<DWORD>(saved.size()));
  saved_.assign(saved.data(), length);
  SetEnvironmentVariableW(L"PATH", folder.c_str());
}

SearchPathOverride::~SearchPathOverride() {
  SetEnvironmentVariableW(L"PATH", saved_.c_str());
}

}  // namespace tunelift::testing
