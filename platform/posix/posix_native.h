#pragma once

#include "platform/platform.h"

namespace nubora {

// Portable stand-ins: they let the configuration core build and run on Linux.
// There is no service control manager and no WOW64 here.
class PosixSystemProbe : public SystemProbe {
 public:
  bool ReadOsMajorVersion(unsigned long& major) override;
  void ResolveWow64EntryPoints() override {}
  bool HasIsWow64Process() const override { return false; }
  bool HasDisableRedirection() const override { return false; }
  bool HasRevertRedirection() const override { return false; }
  bool QueryIsWow64Process(int&) override { return false; }
  bool DisableRedirection(void*&) override { return false; }
  bool RevertRedirection(void*) override { return false; }
};

class PosixClock : public Clock {
 public:
  LocalTime Now() override;
  void Sleep(unsigned long milliseconds) override;
};

// The interfaces of this machine: getifaddrs, the routing table and the
// resolver configuration.
class PosixAdapterSource : public AdapterSource {
 public:
  unsigned long Enumerate(std::vector<AdapterInfo>& adapters) override;
};

class PosixProcessLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<RunningProcess> StartHidden(wchar_t* commandLine, unsigned long& error) override;
};

class PosixServiceHost : public ServiceHost {
 public:
  unsigned long RunDispatcher(const ServiceTableEntry* table) override;
  ServiceStatusHandle RegisterControlHandler(const wchar_t*, ServiceControlRoutine,
                                             void*) override {
    return nullptr;
  }
  bool ReportStatus(ServiceStatusHandle, const ServiceStatus&) override { return false; }
  bool StartThread(ThreadRoutine routine, void* parameter, unsigned long& error) override;
};

class PosixServiceManager : public ServiceManagerApi {
 public:
  void* OpenManager(unsigned long access) override;
  void* CreateOwnService(void*, const wchar_t*, const wchar_t*, unsigned long, unsigned long,
                         unsigned long, unsigned long, const wchar_t*) override {
    return nullptr;
  }
  bool SetDescription(void*, const wchar_t*) override { return false; }
  void* OpenExistingService(void*, const wchar_t*, unsigned long) override { return nullptr; }
  bool DeleteExistingService(void*) override { return false; }
  void Close(void*) override {}
  unsigned long LastError() override;
};

class PosixExecutableFiles : public ExecutableFiles {
 public:
  void ModulePath(wchar_t* buffer, unsigned long size) override;
  bool CreateFolder(const wchar_t* path) override;
  bool CopyOver(const wchar_t* from, const wchar_t* to) override;
  // By device and inode, over the same path mapping as the other operations.
  FileIdentity SameFile(const wchar_t* a, const wchar_t* b) override;
  unsigned long LastError() override { return lastError_; }

 private:
  unsigned long lastError_ = 0;
};

// Splits a command line into words the way the Windows C runtime does for the
// simple cases used here: blanks separate, double quotes group.
std::vector<std::string> SplitCommandLine(const std::wstring& commandLine);

}  // namespace nubora
