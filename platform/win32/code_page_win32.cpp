// Code pages on Windows: MultiByteToWideChar.
#include <windows.h>

#include <vector>

#include "platform/code_page.h"

namespace nubora {

bool DecodeCodePage(const std::string& bytes, unsigned codePage, std::wstring& text) {
  text.clear();
  if (bytes.empty()) return ::IsValidCodePage(codePage) != FALSE;
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  std::vector<wchar_t> out(static_cast<std::size_t>(needed));
  ::MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), needed);
  text.assign(out.data(), out.size());
  return true;
}

unsigned LocaleCodePage() { return ::GetACP(); }

void AnsiToWide(const char* text, wchar_t* buffer, std::size_t capacity) {
  if (text == nullptr || buffer == nullptr) return;
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (needed <= 0 || static_cast<std::size_t>(needed) > capacity) return;
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, needed);
}

}  // namespace nubora
