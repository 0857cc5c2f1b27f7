#include "platform/posix/errno_failure.h"

#include <cerrno>
#include <cstring>

namespace postique::posix {

Failure ErrnoFailure(int error, const std::string& path) {
  Err err = Err::kPathFileAccess;
  switch (error) {
    case ENOENT:
      err = Err::kFileNotFound;
      break;
    case ENOTDIR:
      err = Err::kPathNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      err = Err::kPermissionDenied;
      break;
    case ENOSPC:
    case EDQUOT:
      err = Err::kDiskFull;
      break;
    default:
      break;
  }
  return MakeFailure(err, path + " (" + std::strerror(error) + ")");
}

}  // namespace postique::posix
