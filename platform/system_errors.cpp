#include "platform/system_errors.h"

namespace nubora {

// The tool's own words, the same on every platform and in every locale.
std::wstring ErrorText(unsigned long code) {
  static const struct {
    unsigned long code;
    const wchar_t* meaning;
  } kMeanings[] = {{kErrorFileNotFound, L"file not found"},
                   {kErrorPathNotFound, L"path not found"},
                   {kErrorAccessDenied, L"access denied"},
                   {kErrorNotEnoughMemory, L"not enough memory"},
                   {kErrorInvalidData, L"the data is invalid"},
                   {kErrorWriteFault, L"the write failed"},
                   {kErrorSharingViolation, L"file in use by another process"},
                   {kNotAvailable, L"not supported here"},
                   {kErrorFileExists, L"the file exists"},
                   {kErrorInvalidParameter, L"invalid parameter"},
                   {kErrorCallNotImplemented, L"not implemented here"},
                   {kErrorTooManyThreads, L"no more threads can be started"},
                   {kErrorBadExeFormat, L"not a valid Windows program"},
                   {kErrorNoData, L"nothing to list"},
                   {kErrorElevationRequired, L"needs elevation"},
                   {kErrorServiceRequestTimeout, L"no answer to the service manager in time"},
                   {kErrorServiceDoesNotExist, L"service not installed"},
                   {kErrorServiceNotActive, L"service not running"},
                   {kErrorFailedServiceControllerConnect, L"no service manager to connect to"},
                   {kErrorServiceSpecific, L"a service-specific error"},
                   {kErrorProcessAborted, L"the process ended unexpectedly"},
                   {kErrorServiceExists, L"service already installed"},
                   {kErrorServiceNeverStarted, L"not started since the last boot"}};
  std::wstring text = L"error " + std::to_wstring(code);
  for (const auto& entry : kMeanings) {
    if (entry.code == code) return text + L": " + entry.meaning;
  }
  return text;
}

}  // namespace nubora
