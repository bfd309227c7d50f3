#include "platform/services.h"

#include <cerrno>

namespace nubora {
namespace {

unsigned long FromErrno(int value) {
  switch (value) {
    case EAGAIN:
      return kErrorTooManyThreads;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EINVAL:
      return kErrorInvalidParameter;
    case EACCES:
      return kErrorAccessDenied;
    default:
      return 0;
  }
}

}  // namespace

unsigned long ThreadStartError(unsigned long runtimeSystemError, int runtimeErrno,
                               unsigned long lastError) {
  if (runtimeSystemError != 0) return runtimeSystemError;
  if (const unsigned long mapped = FromErrno(runtimeErrno); mapped != 0) return mapped;
  if (lastError != 0) return lastError;
  // Nothing said why: a thread that cannot start lacks resources, most likely.
  return kErrorNotEnoughMemory;
}

}  // namespace nubora
