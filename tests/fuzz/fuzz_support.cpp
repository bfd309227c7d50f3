#include "fuzz_support.h"

#include <clocale>
#include <filesystem>
#include <fstream>

#include "netconfig/log.h"

namespace nubora::fuzz {

const std::string& TempFolder() {
  static const struct Temporary {
    Temporary() {
      const char* folder = std::getenv("TMPDIR");
      path = std::string(folder != nullptr ? folder : "/tmp") + "/nubora-fuzz-XXXXXX";
      FUZZ_CHECK(mkdtemp(&path[0]) != nullptr);
    }
    ~Temporary() { std::filesystem::remove_all(path); }
    std::string path;
  } folder;
  return folder.path;
}

std::string FileWith(const std::string& bytes, const char* name) {
  const std::string path = TempFolder() + "/" + name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  FUZZ_CHECK(file.write(bytes.data(), bytes.size()) && file.flush());
  return path;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace nubora::fuzz

// Before the first input of each target that writes its input to a file: the
// log to the null device under a UTF-8 locale, so that every message is still
// formatted and converted.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) std::setlocale(LC_ALL, "C");
  nubora::SetLogStream(std::fopen("/dev/null", "w"));
  return 0;
}
