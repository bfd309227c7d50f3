#pragma once

#include <cstddef>
#include <cstdint>

namespace nubora::fuzz {

// Sends the log to the null device under a UTF-8 locale, once per process, so
// that every message is still formatted and converted.
void QuietLog();

// Reports a broken property and aborts, which libFuzzer records as a crash.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

}  // namespace nubora::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::nubora::fuzz::Fail(#condition, __FILE__, __LINE__))
