#pragma once

#include <string>

namespace nubora {

// The Windows error codes this system names, the same numbers on every
// platform: the Linux stand-ins answer with them too.
constexpr unsigned long kErrorFileNotFound = 2;
constexpr unsigned long kErrorPathNotFound = 3;
constexpr unsigned long kErrorAccessDenied = 5;
constexpr unsigned long kErrorNotEnoughMemory = 8;
constexpr unsigned long kErrorInvalidData = 13;
constexpr unsigned long kErrorWriteFault = 29;
constexpr unsigned long kErrorSharingViolation = 32;
// A facility this platform does not have (the system's "not supported"):
// callers skip it quietly.
constexpr unsigned long kNotAvailable = 50;
constexpr unsigned long kErrorFileExists = 80;
constexpr unsigned long kErrorInvalidParameter = 87;
constexpr unsigned long kErrorCallNotImplemented = 120;
constexpr unsigned long kErrorTooManyThreads = 155;  // ERROR_TOO_MANY_TCBS
constexpr unsigned long kErrorBadExeFormat = 193;
constexpr unsigned long kErrorNoData = 232;
constexpr unsigned long kErrorElevationRequired = 740;
constexpr unsigned long kErrorServiceRequestTimeout = 1053;
constexpr unsigned long kErrorServiceDoesNotExist = 1060;
constexpr unsigned long kErrorServiceNotActive = 1062;
constexpr unsigned long kErrorFailedServiceControllerConnect = 1063;
constexpr unsigned long kErrorServiceSpecific = 1066;
constexpr unsigned long kErrorProcessAborted = 1067;
constexpr unsigned long kErrorServiceExists = 1073;
constexpr unsigned long kErrorServiceNeverStarted = 1077;

// "error N: meaning", the one form in which the tool tells a code; "error N"
// for a code it has no words for.
std::wstring ErrorText(unsigned long code);

}  // namespace nubora
