#include "platform/status.h"

#include <cerrno>
#include <cstring>

namespace dunmere {

Status StatusFromErrno(int err) {
  switch (err) {
    case 0: return kOk;
    case ENOENT:
    case ENOTDIR: return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kAccessDenied;
    case ENOMEM: return kNotEnoughMemory;
    case EISDIR:
    case EINVAL: return kInvalidParameter;
    case ENOSPC: return kDiskFull;
    case EEXIST: return 80;  // the system's "file exists"
    case ENAMETOOLONG: return kNameTooLong;
    case EIO: return 31;  // the system's "device not functioning"
    default: return err > 0 ? kSystemErrorBase + err : 31;
  }
}

std::string StatusText(Status status) {
  switch (status) {
    case kOk: return "The operation completed successfully.";
    case kPathNotFound: return "The system cannot find the path specified.";
    case kAccessDenied: return "Access is denied.";
    case kNotEnoughMemory: return "Not enough memory resources are available to process this command.";
    case kInvalidData: return "The data is invalid.";
    case kReadFault: return "The system cannot read from the specified device.";
    case 31: return "A device attached to the system is not functioning.";
    case 80: return "The file exists.";
    case kInvalidParameter: return "The parameter is incorrect.";
    case kDiskFull: return "There is not enough space on the disk.";
    case kNameTooLong: return "The filename or extension is too long.";
    case kWrongPassword: return "The password is wrong.";
    case kHelperFailed: return "A helper program failed.";
    default: break;
  }
  if (status > kSystemErrorBase && status < kSystemErrorBase + 4096) {
    std::string text = std::strerror(status - kSystemErrorBase);
    return text + ".";
  }
  return "Error " + std::to_string(status) + ".";
}

}  // namespace dunmere
