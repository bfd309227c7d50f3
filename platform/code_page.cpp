#include "platform/code_page.h"

#include <cwchar>

namespace nubora {

std::string ToMultibyte(const std::wstring& text) {
  std::string bytes;
  bytes.reserve(text.size());
  std::mbstate_t state{};
  char unit[16];
  for (wchar_t c : text) {
    const std::size_t n = std::wcrtomb(unit, c, &state);
    if (n == static_cast<std::size_t>(-1)) {
      bytes.push_back('?');
      state = std::mbstate_t{};
    } else {
      bytes.append(unit, n);
    }
  }
  return bytes;
}

}  // namespace nubora
