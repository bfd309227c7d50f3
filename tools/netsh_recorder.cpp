// Stand-in for a system tool during end-to-end tests. Appends its own command
// line (UTF-8, one per line) to c:\windows\<exe-base-name>_calls.txt and the
// path it was started from to c:\windows\<exe-base-name>_where.txt, then exits
// with 0. NUBORA_TEST_NETSH_SLEEP_MS=<n>, or a file c:\windows\<exe-base-name>_sleep_ms.txt
// holding n, makes it wait n ms before exiting.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

static std::string utf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

static void append_line(const std::wstring& path, const std::wstring& text) {
  HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::string line = utf8(text) + "\n";
  DWORD written = 0;
  WriteFile(h, line.data(), (DWORD)line.size(), &written, nullptr);
  CloseHandle(h);
}

int wmain() {
  wchar_t module[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, module, (DWORD)(sizeof module / sizeof module[0]));
  std::wstring base(module);
  size_t slash = base.find_last_of(L"\\/");
  if (slash != std::wstring::npos) base.erase(0, slash + 1);
  size_t dot = base.rfind(L'.');
  if (dot != std::wstring::npos) base.erase(dot);
  for (auto& c : base) c = (wchar_t)std::towlower(c);
  if (base.empty()) base = L"recorder";

  const std::wstring dir = L"c:\\windows\\";
  append_line(dir + base + L"_calls.txt", GetCommandLineW());
  append_line(dir + base + L"_where.txt", module);

  // The wait comes from the environment, or, for programs started by the
  // service manager (which do not inherit a test's environment), from a file.
  wchar_t ms[32] = {};
  if (GetEnvironmentVariableW(L"NUBORA_TEST_NETSH_SLEEP_MS", ms, 32) == 0) {
    HANDLE h = CreateFileW((dir + base + L"_sleep_ms.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      char text[16] = {};
      DWORD read = 0;
      ReadFile(h, text, sizeof text - 1, &read, nullptr);
      CloseHandle(h);
      for (DWORD i = 0; i < read && i < 31; ++i) ms[i] = (wchar_t)text[i];
    }
  }
  if (ms[0]) Sleep((DWORD)wcstoul(ms, nullptr, 10));
  return 0;
}
