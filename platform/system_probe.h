#pragma once

namespace nubora {

// Facts about the running operating system, read once at start-up.
class SystemProbe {
 public:
  virtual ~SystemProbe() = default;

  // Reads the version record; false when the read fails.
  virtual bool ReadOsMajorVersion(unsigned long& major) = 0;

  // Looks up the optional kernel32 entry points "IsWow64Process",
  // "Wow64DisableWow64FsRedirection" and "Wow64RevertWow64FsRedirection",
  // in that order. Each may be absent.
  virtual void ResolveWow64EntryPoints() = 0;
  virtual bool HasIsWow64Process() const = 0;
  virtual bool HasDisableRedirection() const = 0;
  virtual bool HasRevertRedirection() const = 0;

  // Asks "IsWow64Process" about the current process; false when the call fails.
  virtual bool QueryIsWow64Process(int& isWow64) = 0;
  // Switches file-system redirection off for the calling thread.
  virtual bool DisableRedirection(void*& oldValue) = 0;
  virtual bool RevertRedirection(void* oldValue) = 0;
};

}  // namespace nubora
