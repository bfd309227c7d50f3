#include "fuzz_support.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

const std::string& TempFolder() {
  static const struct Temporary {
    Temporary() {
      const char* folder = std::getenv("TMPDIR");
      path = std::string(folder != nullptr ? folder : "/tmp") + "/nubora-fuzz-XXXXXX";
      if (mkdtemp(&path[0]) == nullptr) Fail("mkdtemp", __FILE__, __LINE__);
    }
    ~Temporary() { std::filesystem::remove_all(path); }
    std::string path;
  } folder;
  return folder.path;
}

std::string FileWith(const std::uint8_t* data, std::size_t size, const char* name) {
  const std::string path = TempFolder() + "/" + name;
  std::FILE* stream = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(stream != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, stream) == size);
  std::fclose(stream);
  return path;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
  std::abort();
}

}  // namespace nubora::fuzz
