#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace nubora::fuzz {

// This process's own temporary folder (removed at exit), and `bytes` written
// to the file `name` in it: its path.
const std::string& TempFolder();
std::string FileWith(const std::string& bytes, const char* name = "input");
std::wstring Wide(const std::string& ascii);

// The parts of `text` between the separators (at least one part).
template <typename Text>
std::vector<Text> Split(const Text& text, const Text& separator) {
  std::vector<Text> parts;
  for (std::size_t at = 0, found; at <= text.size(); at = found + separator.size()) {
    found = std::min(text.find(separator, at), text.size());
    parts.push_back(text.substr(at, found - at));
  }
  return parts;
}

}  // namespace nubora::fuzz

// A broken property is reported and aborts, which libFuzzer records as a crash.
#define FUZZ_CHECK(condition)                                                                   \
  ((condition)                                                                                  \
       ? static_cast<void>(0)                                                                   \
       : (std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition), \
          std::abort()))
