#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nubora::fuzz {

// Sends the log to the null device under a UTF-8 locale, once per process, so
// that every message is still formatted and converted.
void QuietLog();

// This process's own temporary folder (removed at exit), and the bytes
// written to the file `name` in it: its path.
const std::string& TempFolder();
std::string FileWith(const std::uint8_t* data, std::size_t size, const char* name = "input");
std::wstring Wide(const std::string& ascii);

// The parts of `text` between the separators (at least one part).
std::vector<std::string> Split(const std::string& text, char separator);

// Reports a broken property and aborts, which libFuzzer records as a crash.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

}  // namespace nubora::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::nubora::fuzz::Fail(#condition, __FILE__, __LINE__))
