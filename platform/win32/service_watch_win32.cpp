#include <windows.h>

#include <vector>

#include "platform/services.h"
#include "platform/win32/win32_handles.h"

namespace nubora {
namespace {

class Win32ServiceWatch : public ServiceWatch {
 public:
  unsigned long Query(const wchar_t* name, ServiceSnapshot& snapshot) override {
    snapshot = ServiceSnapshot{};
    unique_service_handle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return ::GetLastError();
    unique_service_handle service(
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

  unsigned long RequestStop(const wchar_t* name) override {
    unique_service_handle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return ::GetLastError();
    unique_service_handle service(::OpenServiceW(manager.get(), name, SERVICE_STOP));
    SERVICE_STATUS status = {};
    if (!service || !::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
      return ::GetLastError();
    }
    return 0;
  }
};

}  // namespace

ServiceWatch& NativeServiceWatch() {
  static Win32ServiceWatch services;
  return services;
}

}  // namespace nubora
