#include "fuzz_support.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

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

const std::string& FileWith(const std::uint8_t* data, std::size_t size) {
  static const struct Temporary {
    Temporary() {
      const char* folder = std::getenv("TMPDIR");
      path = std::string(folder != nullptr ? folder : "/tmp") + "/nubora-fuzz-XXXXXX";
      const int fd = mkstemp(&path[0]);
      if (fd < 0) Fail("mkstemp", __FILE__, __LINE__);
      close(fd);
    }
    ~Temporary() { std::remove(path.c_str()); }
    std::string path;
  } file;
  std::FILE* stream = std::fopen(file.path.c_str(), "wb");
  FUZZ_CHECK(stream != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, stream) == size);
  std::fclose(stream);
  return file.path;
}

void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
  std::abort();
}

}  // namespace nubora::fuzz
