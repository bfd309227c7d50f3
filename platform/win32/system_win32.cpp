// Version, WOW64, clock and log-stream operations on Windows.
#include <share.h>
#include <windows.h>

#include <clocale>
#include <cstdio>

#include "platform/win32/win32_native.h"

namespace nubora {
namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using DisableRedirectionFn = BOOL(WINAPI*)(PVOID*);
using RevertRedirectionFn = BOOL(WINAPI*)(PVOID);

}  // namespace

bool Win32SystemProbe::ReadOsMajorVersion(unsigned long& major) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  if (!::GetVersionExW(&info)) return false;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  major = info.dwMajorVersion;
  return true;
}

void Win32SystemProbe::ResolveWow64EntryPoints() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32");
  if (kernel == nullptr) return;
  isWow64Process_ = reinterpret_cast<void*>(::GetProcAddress(kernel, "IsWow64Process"));
  disable_ = reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64DisableWow64FsRedirection"));
  revert_ = reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64RevertWow64FsRedirection"));
}

bool Win32SystemProbe::QueryIsWow64Process(int& isWow64) {
  if (isWow64Process_ == nullptr) return false;
  BOOL flag = FALSE;
  if (!reinterpret_cast<IsWow64ProcessFn>(isWow64Process_)(::GetCurrentProcess(), &flag)) {
    return false;
  }
  isWow64 = flag ? 1 : 0;
  return true;
}

bool Win32SystemProbe::DisableRedirection(void*& oldValue) {
  if (disable_ == nullptr) return false;
  return reinterpret_cast<DisableRedirectionFn>(disable_)(&oldValue) != FALSE;
}

bool Win32SystemProbe::RevertRedirection(void* oldValue) {
  if (revert_ == nullptr) return false;
  return reinterpret_cast<RevertRedirectionFn>(revert_)(oldValue) != FALSE;
}

LocalTime Win32Clock::Now() {
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

void Win32Clock::Sleep(unsigned long milliseconds) { ::Sleep(milliseconds); }

std::FILE* ReopenStdoutForAppend(const wchar_t* path) {
  if (std::FILE* file = ::_wfreopen(path, L"a", stdout)) return file;
  // A service process starts without standard handles, and the C runtime
  // will not reopen a stream that never had a file: open the log on its own.
  return ::_wfsopen(path, L"a", _SH_DENYNO);
}

void SelectUserDefaultLocale() { std::setlocale(LC_ALL, ""); }

}  // namespace nubora
