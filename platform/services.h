#pragma once

#include <cstdint>

#include "platform/system_errors.h"

#if defined(_WIN32)
#define NUBORA_CALLBACK __stdcall
#else
#define NUBORA_CALLBACK
#endif

namespace nubora {

// The service manager's numbers, as the Windows headers declare them.
namespace scm {
// Service types.
constexpr std::uint32_t kOwnProcess = 0x10;
constexpr std::uint32_t kShareProcess = 0x20;
// States.
constexpr std::uint32_t kStopped = 1;
constexpr std::uint32_t kStartPending = 2;
constexpr std::uint32_t kStopPending = 3;
constexpr std::uint32_t kRunning = 4;
// Controls, and the bits that accept them.
constexpr unsigned long kControlStop = 1;
constexpr unsigned long kControlInterrogate = 4;
constexpr unsigned long kControlShutdown = 5;
constexpr std::uint32_t kAcceptStop = 0x1;
constexpr std::uint32_t kAcceptPauseContinue = 0x2;
constexpr std::uint32_t kAcceptShutdown = 0x4;
// Start types and the error control of a registration.
constexpr unsigned long kAutoStart = 2;
constexpr unsigned long kDemandStart = 3;
constexpr unsigned long kDisabled = 4;
constexpr unsigned long kErrorNormal = 1;
// Access rights of the manager and of a service.
constexpr unsigned long kManagerConnect = 0x1;
constexpr unsigned long kManagerCreateService = 0x2;
constexpr unsigned long kManagerAllAccess = 0xF003F;
constexpr unsigned long kQueryConfig = 0x1;
constexpr unsigned long kQueryStatus = 0x4;
constexpr unsigned long kStop = 0x20;
constexpr unsigned long kDelete = 0x10000;
constexpr unsigned long kServiceAllAccess = 0xF01FF;
}  // namespace scm

// The platform's SERVICE_STATUS layout: seven unsigned 32-bit fields.
struct ServiceStatus {
  std::uint32_t dwServiceType = 0;
  std::uint32_t dwCurrentState = 0;
  std::uint32_t dwControlsAccepted = 0;
  std::uint32_t dwWin32ExitCode = 0;
  std::uint32_t dwServiceSpecificExitCode = 0;
  std::uint32_t dwCheckPoint = 0;
  std::uint32_t dwWaitHint = 0;
};

using ServiceMainRoutine = void(NUBORA_CALLBACK*)(unsigned long argumentCount, wchar_t** arguments);
using ServiceControlRoutine = unsigned long(NUBORA_CALLBACK*)(unsigned long control,
                                                              unsigned long eventType,
                                                              void* eventData, void* context);
using ThreadRoutine = unsigned(NUBORA_CALLBACK*)(void* parameter);
using ServiceStatusHandle = void*;

struct ServiceTableEntry {
  const wchar_t* name;
  ServiceMainRoutine main;
};

// What a running service needs of the service control manager.
class ServiceHost {
 public:
  virtual ~ServiceHost() = default;
  // Connects to the service control manager with a table ended by a null
  // entry; returns once the service has stopped: 0, or the error code when the
  // dispatcher cannot start.
  virtual unsigned long RunDispatcher(const ServiceTableEntry* table) = 0;
  // Null on failure.
  virtual ServiceStatusHandle RegisterControlHandler(const wchar_t* name,
                                                     ServiceControlRoutine handler,
                                                     void* context) = 0;
  virtual bool ReportStatus(ServiceStatusHandle handle, const ServiceStatus& status) = 0;
  // Starts a detached thread (its handle is closed at once); false with
  // `error` set, never to 0, when it cannot start.
  virtual bool StartThread(ThreadRoutine routine, void* parameter, unsigned long& error) = 0;
};

// The Windows error code for a thread that could not start. The C runtime's
// own record of the failure comes first (its copy of the system's code, then
// its errno translated), the system's last error only when the runtime has
// none; never 0.
unsigned long ThreadStartError(unsigned long runtimeSystemError, int runtimeErrno,
                               unsigned long lastError);

// What installing and removing the service needs of the service control
// manager. Handles are opaque; null means failure, and `LastError` must be
// read right after the call that failed.
class ServiceManagerApi {
 public:
  virtual ~ServiceManagerApi() = default;
  virtual void* OpenManager(unsigned long access) = 0;
  virtual void* CreateOwnService(void* manager, const wchar_t* name, const wchar_t* displayName,
                                 unsigned long access, unsigned long serviceType,
                                 unsigned long startType, unsigned long errorControl,
                                 const wchar_t* commandLine) = 0;
  virtual bool SetDescription(void* service, const wchar_t* description) = 0;
  virtual void* OpenExistingService(void* manager, const wchar_t* name, unsigned long access) = 0;
  virtual bool DeleteExistingService(void* service) = 0;
  virtual void Close(void* handle) = 0;
  virtual unsigned long LastError() = 0;
};

// Closes a service-manager handle on every path.
class ScHandle {
 public:
  ScHandle(ServiceManagerApi& api, void* handle) : api_(api), handle_(handle) {}
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  ~ScHandle() {
    if (handle_ != nullptr) api_.Close(handle_);
  }
  void* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  ServiceManagerApi& api_;
  void* handle_;
};

// What the service manager tells of one service.
struct ServiceSnapshot {
  bool installed = false;
  std::uint32_t state = 0;  // scm::kStopped, ...
  std::uint32_t win32ExitCode = 0;
  std::uint32_t specificExitCode = 0;
  unsigned long startType = 0;  // scm::kAutoStart, ...
};

// What the tool needs of the service manager about a service it does not run.
class ServiceWatch {
 public:
  virtual ~ServiceWatch() = default;
  // 0 with `snapshot` filled (not installed when there is no such service),
  // or the Windows error code when the service manager cannot be asked.
  virtual unsigned long Query(const wchar_t* name, ServiceSnapshot& snapshot) = 0;
  // Asks a running service to stop: 0, or the Windows error code
  // (kErrorServiceNotActive when it is not running).
  virtual unsigned long RequestStop(const wchar_t* name) = 0;
};

ServiceWatch& NativeServiceWatch();

enum class FileIdentity { kSame, kDifferent, kUnknown };

// The executable's own file, for installing it.
class ExecutableFiles {
 public:
  virtual ~ExecutableFiles() = default;
  // The running executable's full path, cut to `size` characters.
  virtual void ModulePath(wchar_t* buffer, unsigned long size) = 0;
  // Creates one folder; true when it exists afterwards.
  virtual bool CreateFolder(const wchar_t* path) = 0;
  virtual bool CopyOver(const wchar_t* from, const wchar_t* to) = 0;
  // Whether two paths name one file, however each is spelled (short names,
  // another drive letter or share, links): kDifferent when either does not
  // exist, kUnknown when either cannot be examined.
  virtual FileIdentity SameFile(const wchar_t* a, const wchar_t* b) = 0;
  virtual unsigned long LastError() = 0;
};

}  // namespace nubora
