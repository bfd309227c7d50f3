#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/wide_arguments.h"

namespace nubora {

int RunWithWideArguments(int argc, char** argv, int (*entry)(int, wchar_t**)) {
  std::setlocale(LC_CTYPE, "");
  std::vector<std::wstring> wide(static_cast<std::size_t>(argc));
  std::vector<wchar_t*> pointers(static_cast<std::size_t>(argc) + 1, nullptr);
  for (int i = 0; i < argc; ++i) {
    const std::size_t length = std::mbstowcs(nullptr, argv[i], 0);
    if (length != static_cast<std::size_t>(-1)) {
      wide[i].resize(length);
      std::mbstowcs(&wide[i][0], argv[i], length);
    }
    pointers[i] = &wide[i][0];
  }
  std::setlocale(LC_CTYPE, "C");
  return entry(argc, pointers.data());
}

}  // namespace nubora
