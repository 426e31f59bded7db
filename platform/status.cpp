#include "platform/status.h"

#include <cerrno>

namespace dunmere {

Status StatusFromErrno(int err) {
  switch (err) {
    case 0: return kOk;
    case ENOENT: return kFileNotFound;
    case ENOTDIR: return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kAccessDenied;
    case ENOMEM: return kNotEnoughMemory;
    case EISDIR:
    case EINVAL: return kInvalidParameter;
    case ENOSPC: return 112;  // the system's "disk full"
    case EEXIST: return 80;   // the system's "file exists"
    default: return 31;       // the system's "device not functioning": any other failure
  }
}

}  // namespace dunmere
