#include "fuzz_support.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "netconfig/log.h"

namespace nubora::fuzz {

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
