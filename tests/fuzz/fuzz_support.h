#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nubora::fuzz {

// Wide text of fuzz input: each byte is one character (so INI seeds read as
// Latin-1), except that 0xFF takes the next two bytes, high first, as one
// 16-bit character, reaching every code unit including lone surrogates.
std::wstring WideText(const std::uint8_t* data, std::size_t size);
std::wstring WideText(const std::string& bytes);

// Sends the log to the null device under a UTF-8 locale, once per process, so
// that every message is still formatted and converted.
void QuietLog();

// Reports a broken property and aborts, which libFuzzer records as a crash.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

}  // namespace nubora::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::nubora::fuzz::Fail(#condition, __FILE__, __LINE__))
