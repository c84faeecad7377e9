#include "posix_error.h"

#include <cerrno>
#include <cstring>

namespace tunelift {
namespace {

int NumberForSystemError(int systemError) {
  switch (systemError) {
    case ENOENT: return errnum::kFileNotFound;
    case ENOTDIR: return errnum::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return errnum::kPermissionDenied;
    case EEXIST:
    case ENOTEMPTY: return errnum::kFileExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return errnum::kDiskFull;
    case EMFILE:
    case ENFILE: return errnum::kTooManyFiles;
    case ENAMETOOLONG:
    case EINVAL: return errnum::kBadFileName;
    case ENOMEM: return errnum::kOutOfMemory;
    case EBUSY:
    case ETXTBSY: return errnum::kFileAlreadyOpen;
    default: return errnum::kPathFileAccess;
  }
}

}  // namespace

Error SystemError(const std::string& what, int systemError) {
  return Error(NumberForSystemError(systemError), what + ": " + std::strerror(systemError));
}

}  // namespace tunelift
