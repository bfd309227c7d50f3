#pragma once

namespace nubora {

// Windows error codes the platform's own implementations answer with.
constexpr unsigned long kErrorFileNotFound = 2;
constexpr unsigned long kInvalidData = 13;
constexpr unsigned long kFileExists = 80;
// A facility this platform does not have (the system's "not supported"):
// callers skip it quietly.
constexpr unsigned long kNotAvailable = 50;

}  // namespace nubora
