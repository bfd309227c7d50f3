#include <windows.h>

#include "platform/report_outputs.h"
#include "platform/win32/win32_handles.h"

namespace nubora {
namespace {

// A port nobody reads, or one that only pretends to be open, must cost about a
// second, never a hang: 4 KB at 115200 baud take a third of that.
constexpr DWORD kWriteTimeoutMs = 1000;

const wchar_t kSourcesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

struct EventSourceTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE handle) { ::DeregisterEventSource(handle); }
};
struct ServiceHandleTraits {
  static SC_HANDLE Invalid() { return nullptr; }
  static void Close(SC_HANDLE handle) { ::CloseServiceHandle(handle); }
};
struct RegistryKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY key) { ::RegCloseKey(key); }
};

bool ConfigurePort(HANDLE port) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port, &dcb)) return false;
  dcb.BaudRate = CBR_115200;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  if (!::SetCommState(port, &dcb)) return false;
  COMMTIMEOUTS timeouts = {};
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  return ::SetCommTimeouts(port, &timeouts) != FALSE;
}

class Win32SerialConsole : public SerialConsole {
 public:
  bool Write(const std::wstring& name, const std::string& bytes, unsigned long& error) override {
    unique_file_handle port(::CreateFileW((L"\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                          0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port || !ConfigurePort(port.get())) {
      error = ::GetLastError();
      return false;
    }
    DWORD written = 0;
    const BOOL wrote =
        ::WriteFile(port.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (wrote && written == bytes.size()) return true;
    error = wrote ? ERROR_TIMEOUT : ::GetLastError();
    // What the timeout left in the driver would otherwise hold the close.
    ::PurgeComm(port.get(), PURGE_TXABORT | PURGE_TXCLEAR);
    return false;
  }
};

class Win32EventLog : public EventLog {
 public:
  bool Report(const wchar_t* source, EventType type, unsigned long id, const std::wstring& text,
              unsigned long& error) override {
    unique_handle<EventSourceTraits> log(::RegisterEventSourceW(nullptr, source));
    const wchar_t* strings[] = {text.c_str()};
    if (log && ::ReportEventW(log.get(), static_cast<WORD>(type), 0, id, nullptr, 1, 0, strings,
                              nullptr)) {
      return true;
    }
    error = ::GetLastError();
    return false;
  }

  unsigned long RegisterSource(const wchar_t* source, const std::wstring& messageFile) override {
    HKEY opened = nullptr;
    const std::wstring path = std::wstring(kSourcesKey) + source;
    LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                       KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<unsigned long>(status);
    unique_handle<RegistryKeyTraits> key(opened);
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    status = ::RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                              reinterpret_cast<const BYTE*>(messageFile.c_str()),
                              static_cast<DWORD>((messageFile.size() + 1) * sizeof(wchar_t)));
    if (status == ERROR_SUCCESS) {
      status = ::RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&types), sizeof types);
    }
    return static_cast<unsigned long>(status);
  }

  unsigned long RemoveSource(const wchar_t* source) override {
    const std::wstring path = std::wstring(kSourcesKey) + source;
    return static_cast<unsigned long>(::RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str()));
  }
};

class Win32ServiceWatch : public ServiceWatch {
 public:
  ServiceRunState Query(const wchar_t* name, unsigned long& error) override {
    unique_handle<ServiceHandleTraits> manager(
        ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
      error = ::GetLastError();
      return ServiceRunState::kUnknown;
    }
    unique_handle<ServiceHandleTraits> service(
        ::OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    if (service && ::QueryServiceStatus(service.get(), &status)) {
      return status.dwCurrentState == SERVICE_STOPPED ? ServiceRunState::kStopped
                                                      : ServiceRunState::kRunning;
    }
    error = ::GetLastError();
    return error == ERROR_SERVICE_DOES_NOT_EXIST ? ServiceRunState::kAbsent
                                                 : ServiceRunState::kUnknown;
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

ReportPlatform NativeReportPlatform() {
  static Win32SerialConsole console;
  static Win32EventLog eventLog;
  static Win32ServiceWatch services;
  return ReportPlatform{&console, &eventLog, &services};
}

}  // namespace nubora
