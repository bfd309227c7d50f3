#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "preview/preview.h"

#if defined(_WIN32)

int wmain(int argc, wchar_t** argv) { return nubora::PreviewMain(argc, argv); }

#else

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
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
  return nubora::PreviewMain(argc, pointers.data());
}

#endif
