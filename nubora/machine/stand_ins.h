#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "nubora/machine/adapters_file.h"
#include "platform/machine.h"
#include "platform/platform.h"

namespace nubora {

// Stand-ins for the platform, used where a run is shown rather than performed:
// by `nubora preview`, and by the tests that play recorded machines through it.

// The adapters of a machine, listed pass after pass without change unless told
// otherwise.
class ListedAdapters : public AdapterSource {
 public:
  explicit ListedAdapters(std::vector<AdapterInfo> adapters) : adapters_(std::move(adapters)) {}
  unsigned long Enumerate(std::vector<AdapterInfo>& adapters) override;

  // The adapter named `name` is listed only from pass `pass` (1 is the first).
  void AppearsFromPass(const std::wstring& name, int pass) { firstPass_[name] = pass; }
  // Pass `pass` fails with `error` and lists nothing.
  void FailsInPass(int pass, unsigned long error) { failures_[pass] = error; }
  int passes = 0;

 private:
  std::vector<AdapterInfo> adapters_;
  std::map<std::wstring, int> firstPass_;
  std::map<int, unsigned long> failures_;
};

// How a command behaves: it ends during wait slice `endsInSlice` (0: it outlives
// any wait), or fails to start with `startError`.
struct CommandBehaviour {
  unsigned endsInSlice = 1;
  unsigned long startError = 0;
};

// Commands are written down, not run: netsh command lines are kept in `lines`.
class RecordedCommands : public ProcessLauncher {
 public:
  std::unique_ptr<RunningProcess> StartHidden(wchar_t* commandLine, unsigned long& error) override;
  CommandBehaviour netsh;   // every netsh command
  CommandBehaviour others;  // the post script and anything else
  std::vector<std::wstring> lines;
  unsigned long slicesWaited = 0;
  unsigned long millisecondsWaited = 0;
};

// Pauses are counted, not waited.
class NoWaitClock : public Clock {
 public:
  explicit NoWaitClock(Clock& real) : real_(real) {}
  LocalTime Now() override { return real_.Now(); }
  void Sleep(unsigned long milliseconds) override {
    ++pauses;
    waited += milliseconds;
  }
  int pauses = 0;
  unsigned long waited = 0;

 private:
  Clock& real_;
};

// A described machine, for `nubora doctor --machine FILE` and its tests: its
// registry in memory (changes stay there; names in any case, as Windows
// matches them), the address table's first look
// and every later one, the files it says are missing, the ACLs it gives
// (every other file and folder: owned by TrustedInstaller, full access for
// SYSTEM and Administrators, read and execute for Users). Files are written
// for real.
class DescribedMachine : public NetworkDevices,
                         public Registry,
                         public AddressTable,
                         public ServiceConfigs,
                         public MachineFiles,
                         public FileSecurity {
 public:
  explicit DescribedMachine(MachineDescription description);
  MachinePlatform View();

  unsigned long Present(std::vector<NetworkDevice>& devices) override;
  unsigned long SubKeys(const std::wstring& key, std::vector<std::wstring>& names) override;
  unsigned long Values(const std::wstring& key, std::vector<RegistryValue>& values) override;
  unsigned long CheckWritable(const std::wstring& key) override;
  unsigned long DeleteValue(const std::wstring& key, const std::wstring& name) override;
  unsigned long SetValue(const std::wstring& key, const RegistryValue& value) override;
  unsigned long CreateKey(const std::wstring& key) override;
  unsigned long Read(std::vector<AddressDetection>& addresses) override;
  unsigned long Query(const wchar_t* name, ServiceConfig& config) override;
  bool Exists(const std::wstring& path) override;
  unsigned long CreateNew(const std::wstring& path, const std::string& bytes) override;
  unsigned long Read(const std::wstring& path, FileAccess& access) override;
  unsigned long SystemFolder(std::wstring& folder) override;

  MachineDescription machine;
  unsigned long writeError = 0;  // what every registry change answers
  std::wstring undeletable;      // a value name whose deletion is refused (5)
  int looks = 0;

 private:
  ListedAdapters adapters_;
  NoWaitClock clock_;
};

}  // namespace nubora
