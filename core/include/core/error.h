#pragma once
// Errors of the core. Policy: every failing operation throws tunelift::Error; no operation
// returns a status code. The number follows the run-time error numbers the tool has always
// shown (53 = file not found, 70 = permission denied, ...); the description names the
// operation, the path and the system's own reason.

#include <stdexcept>
#include <string>

namespace tunelift {

// Run-time error numbers used by the core.
namespace errnum {
inline constexpr int kInvalidCall = 5;
inline constexpr int kUserInterrupt = 18;  // the user stopped it (a cancelled copy)
inline constexpr int kOutOfMemory = 7;
inline constexpr int kBadFileName = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kFileAlreadyOpen = 55;
inline constexpr int kFileExists = 58;
inline constexpr int kDiskFull = 61;
inline constexpr int kDeviceUnavailable = 68;
inline constexpr int kTooManyFiles = 67;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kInvalidFileFormat = 321;
}  // namespace errnum

class Error : public std::runtime_error {
public:
  Error(int number, const std::string& description);

  int number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

private:
  int number_;
  std::string description_;
};

}  // namespace tunelift
