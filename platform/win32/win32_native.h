#pragma once

#include "platform/log_stream.h"
#include "platform/platform.h"

namespace nubora {

class Win32SystemProbe : public SystemProbe {
 public:
  bool ReadOsMajorVersion(unsigned long& major) override;
  void ResolveWow64EntryPoints() override;
  bool HasIsWow64Process() const override { return isWow64Process_ != nullptr; }
  bool HasDisableRedirection() const override { return disable_ != nullptr; }
  bool HasRevertRedirection() const override { return revert_ != nullptr; }
  bool QueryIsWow64Process(int& isWow64) override;
  bool DisableRedirection(void*& oldValue) override;
  bool RevertRedirection(void* oldValue) override;

 private:
  void* isWow64Process_ = nullptr;
  void* disable_ = nullptr;
  void* revert_ = nullptr;
};

class Win32Clock : public Clock {
 public:
  LocalTime Now() override;
  void Sleep(unsigned long milliseconds) override;
};

class Win32IniFiles : public IniFiles {
 public:
  bool Exists(const wchar_t* path) override;
  unsigned long SectionNames(wchar_t* buffer, unsigned long size, const wchar_t* path) override;
  unsigned long String(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                       wchar_t* buffer, unsigned long size, const wchar_t* path) override;
};

class Win32AdapterSource : public AdapterSource {
 public:
  unsigned long Enumerate(std::vector<AdapterInfo>& adapters) override;
};

class Win32ProcessLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<RunningProcess> StartHidden(wchar_t* commandLine, unsigned long& error) override;
};

class Win32ServiceHost : public ServiceHost {
 public:
  unsigned long RunDispatcher(const ServiceTableEntry* table) override;
  ServiceStatusHandle RegisterControlHandler(const wchar_t* name, ServiceControlRoutine handler,
                                             void* context) override;
  bool ReportStatus(ServiceStatusHandle handle, const ServiceStatus& status) override;
  bool StartThread(ThreadRoutine routine, void* parameter, unsigned long& error) override;
};

class Win32ServiceManager : public ServiceManagerApi {
 public:
  void* OpenManager(unsigned long access) override;
  void* CreateOwnService(void* manager, const wchar_t* name, const wchar_t* displayName,
                         unsigned long access, unsigned long serviceType, unsigned long startType,
                         unsigned long errorControl, const wchar_t* commandLine) override;
  bool SetDescription(void* service, const wchar_t* description) override;
  void* OpenExistingService(void* manager, const wchar_t* name, unsigned long access) override;
  bool DeleteExistingService(void* service) override;
  void Close(void* handle) override;
  unsigned long LastError() override;
};

class Win32ExecutableFiles : public ExecutableFiles {
 public:
  void ModulePath(wchar_t* buffer, unsigned long size) override;
  bool CreateFolder(const wchar_t* path) override;
  bool CopyOver(const wchar_t* from, const wchar_t* to) override;
  FileIdentity SameFile(const wchar_t* a, const wchar_t* b) override;
  unsigned long LastError() override;
};

}  // namespace nubora
