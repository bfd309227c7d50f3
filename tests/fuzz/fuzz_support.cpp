#include "fuzz_support.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "netconfig/log.h"

namespace nubora::fuzz {

std::wstring WideText(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  text.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      text += static_cast<wchar_t>((data[i + 1] << 8) | data[i + 2]);
      i += 2;
    } else {
      text += static_cast<wchar_t>(data[i]);
    }
  }
  return text;
}

std::wstring WideText(const std::string& bytes) {
  return WideText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void QuietLog() {
  static const bool done = [] {
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) std::setlocale(LC_ALL, "C");
    SetLogStream(std::fopen("/dev/null", "w"));
    return true;
  }();
  (void)done;
}

void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
  std::abort();
}

}  // namespace nubora::fuzz
