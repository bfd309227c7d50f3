#include <process.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_native.h"

namespace nubora {
namespace {

// The volume and file index of what `path` names; false, with the system's
// error, when it cannot be opened or read.
bool ReadFileIdentity(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& info, DWORD& error) {
  // Attributes only, sharing everything: the running executable opens too.
  unique_file_handle file(::CreateFileW(
      path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) {
    error = ::GetLastError();
    return false;
  }
  return true;
}

}  // namespace

unsigned long Win32ServiceHost::RunDispatcher(const ServiceTableEntry* table) {
  std::vector<SERVICE_TABLE_ENTRYW> entries;
  for (const ServiceTableEntry* entry = table;; ++entry) {
    entries.push_back(SERVICE_TABLE_ENTRYW{const_cast<wchar_t*>(entry->name), entry->main});
    if (entry->name == nullptr) break;
  }
  if (!::StartServiceCtrlDispatcherW(entries.data())) return ::GetLastError();
  return 0;
}

ServiceStatusHandle Win32ServiceHost::RegisterControlHandler(const wchar_t* name,
                                                             ServiceControlRoutine handler,
                                                             void* context) {
  return ::RegisterServiceCtrlHandlerExW(name, handler, context);
}

bool Win32ServiceHost::ReportStatus(ServiceStatusHandle handle, const ServiceStatus& status) {
  SERVICE_STATUS record = {status.dwServiceType,
                           status.dwCurrentState,
                           status.dwControlsAccepted,
                           status.dwWin32ExitCode,
                           status.dwServiceSpecificExitCode,
                           status.dwCheckPoint,
                           status.dwWaitHint};
  return ::SetServiceStatus(static_cast<SERVICE_STATUS_HANDLE>(handle), &record) != FALSE;
}

bool Win32ServiceHost::StartThread(ThreadRoutine routine, void* parameter, unsigned long& error) {
  // _beginthreadex records its failure in errno and _doserrno; the system's
  // last error may be left as it was.
  errno = 0;
  _doserrno = 0;
  ::SetLastError(0);
  const uintptr_t thread = ::_beginthreadex(nullptr, 0, routine, parameter, 0, nullptr);
  if (thread == 0) {
    const DWORD lastError = ::GetLastError();
    error = ThreadStartError(_doserrno, errno, lastError);
    return false;
  }
  ::CloseHandle(reinterpret_cast<HANDLE>(thread));
  return true;
}

void* Win32ServiceManager::OpenManager(unsigned long access) {
  return ::OpenSCManagerW(nullptr, nullptr, access);
}

void* Win32ServiceManager::CreateOwnService(void* manager, const wchar_t* name,
                                            const wchar_t* displayName, unsigned long access,
                                            unsigned long serviceType, unsigned long startType,
                                            unsigned long errorControl,
                                            const wchar_t* commandLine) {
  return ::CreateServiceW(static_cast<SC_HANDLE>(manager), name, displayName, access, serviceType,
                          startType, errorControl, commandLine, nullptr, nullptr, nullptr, nullptr,
                          nullptr);
}

bool Win32ServiceManager::SetDescription(void* service, const wchar_t* description) {
  SERVICE_DESCRIPTIONW info = {const_cast<wchar_t*>(description)};
  return ::ChangeServiceConfig2W(static_cast<SC_HANDLE>(service), SERVICE_CONFIG_DESCRIPTION,
                                 &info) != FALSE;
}

void* Win32ServiceManager::OpenExistingService(void* manager, const wchar_t* name,
                                               unsigned long access) {
  return ::OpenServiceW(static_cast<SC_HANDLE>(manager), name, access);
}

bool Win32ServiceManager::DeleteExistingService(void* service) {
  return ::DeleteService(static_cast<SC_HANDLE>(service)) != FALSE;
}

void Win32ServiceManager::Close(void* handle) {
  ::CloseServiceHandle(static_cast<SC_HANDLE>(handle));
}

unsigned long Win32ServiceManager::LastError() { return ::GetLastError(); }

void Win32ExecutableFiles::ModulePath(wchar_t* buffer, unsigned long size) {
  ::GetModuleFileNameW(nullptr, buffer, size);
}

bool Win32ExecutableFiles::CreateFolder(const wchar_t* path) {
  return ::CreateDirectoryW(path, nullptr) != FALSE || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool Win32ExecutableFiles::CopyOver(const wchar_t* from, const wchar_t* to) {
  return ::CopyFileW(from, to, FALSE) != FALSE;
}

FileIdentity Win32ExecutableFiles::SameFile(const wchar_t* a, const wchar_t* b) {
  BY_HANDLE_FILE_INFORMATION first = {}, second = {};
  DWORD error = 0;
  if (!ReadFileIdentity(a, first, error) || !ReadFileIdentity(b, second, error)) {
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return missing ? FileIdentity::kDifferent : FileIdentity::kUnknown;
  }
  const bool same = first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
                    first.nFileIndexHigh == second.nFileIndexHigh &&
                    first.nFileIndexLow == second.nFileIndexLow;
  return same ? FileIdentity::kSame : FileIdentity::kDifferent;
}

unsigned long Win32ExecutableFiles::LastError() { return ::GetLastError(); }

}  // namespace nubora
