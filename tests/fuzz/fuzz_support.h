#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nubora::fuzz {

// Sends the log to the null device under a UTF-8 locale, once per process, so
// that every message is still formatted and converted.
void QuietLog();

// The input written to this process's own temporary file (removed at exit):
// its path.
const std::string& FileWith(const std::uint8_t* data, std::size_t size);

// Reports a broken property and aborts, which libFuzzer records as a crash.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

}  // namespace nubora::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::nubora::fuzz::Fail(#condition, __FILE__, __LINE__))
