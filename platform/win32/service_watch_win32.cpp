#include <windows.h>

#include <vector>

#include "platform/services.h"
#include "platform/win32/win32_handles.h"

namespace nubora {
namespace {

struct ServiceHandleTraits {
  static SC_HANDLE Invalid() { return nullptr; }
  static void Close(SC_HANDLE handle) { ::CloseServiceHandle(handle); }
};

class Win32ServiceWatch : public ServiceWatch {
 public:
  unsigned long Query(const wchar_t* name, ServiceSnapshot& snapshot) override {
    snapshot = ServiceSnapshot{};
    unique_handle<ServiceHandleTraits> manager(
        ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return ::GetLastError();
    unique_handle<ServiceHandleTraits> service(
        ::OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service) {
      const DWORD error = ::GetLastError();
      return error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : error;
    }
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service.get(), &status)) return ::GetLastError();
    // The configuration's size first, then the record itself.
    DWORD needed = 0;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed != 0 ? needed : sizeof(QUERY_SERVICE_CONFIGW));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
      return ::GetLastError();
    }
    snapshot.installed = true;
    snapshot.state = status.dwCurrentState;
    snapshot.win32ExitCode = status.dwWin32ExitCode;
    snapshot.specificExitCode = status.dwServiceSpecificExitCode;
    snapshot.startType = config->dwStartType;
    return 0;
  }

  bool WrittenSinceBoot(const std::wstring& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    // GetTickCount64 where the system has it (Vista on), else the 32-bit
    // count, which only wraps after 49 days of uptime.
    using TickCount64 = ULONGLONG(WINAPI*)();
    const auto tickCount64 = reinterpret_cast<TickCount64>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    const ULONGLONG uptimeMs = tickCount64 != nullptr ? tickCount64() : ::GetTickCount();
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {  // 100 ns units
      return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return ticks(data.ftLastWriteTime) >= ticks(now) - uptimeMs * 10000;
  }
};

}  // namespace

ServiceWatch& NativeServiceWatch() {
  static Win32ServiceWatch services;
  return services;
}

}  // namespace nubora
