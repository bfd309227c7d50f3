#pragma once

#include <cerrno>

#include "platform/system_errors.h"

namespace nubora {

// The Windows error code the same call would give there, so that the tool
// tells a failure in the same words on every platform.
inline unsigned long WindowsError(int error) {
  switch (error) {
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kErrorAccessDenied;
    default:
      return kErrorInvalidParameter;
  }
}

}  // namespace nubora
