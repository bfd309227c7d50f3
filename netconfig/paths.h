#pragma once

#include <cstddef>

namespace nubora {

// The service's files on Windows, which the tool reads there by default, and
// the folder that holds them.
constexpr wchar_t kWindowsFolder[] = L"c:\\windows";
constexpr wchar_t kConfigPath[] = L"c:\\windows\\ipconfig_xen_vm.ini";
constexpr wchar_t kLogPath[] = L"c:\\windows\\ipconfig_service.log";
constexpr wchar_t kPostScriptPath[] = L"c:\\windows\\ipconfig_post.bat";

// A text of N characters with its NUL, built at compile time.
template <std::size_t N>
struct FixedText {
  wchar_t text[N + 1] = {};
};

template <std::size_t A, std::size_t B>
constexpr FixedText<A + B - 2> Concatenated(const wchar_t (&a)[A], const wchar_t (&b)[B]) {
  FixedText<A + B - 2> joined;
  for (std::size_t i = 0; i + 1 < A; ++i) joined.text[i] = a[i];
  for (std::size_t i = 0; i + 1 < B; ++i) joined.text[A - 1 + i] = b[i];
  return joined;
}

// The post script's command line, as the service runs and logs it.
constexpr auto kPostScriptCommand =
    Concatenated(L"c:\\windows\\system32\\cmd.exe /c ", kPostScriptPath);

}  // namespace nubora
