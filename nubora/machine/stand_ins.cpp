#include "nubora/machine/stand_ins.h"

#include <cwctype>

#include "netconfig/apply.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

class RecordedProcess : public RunningProcess {
 public:
  RecordedProcess(unsigned endsInSlice, RecordedCommands& owner)
      : endsInSlice_(endsInSlice), owner_(owner) {}
  bool WaitFor(unsigned long milliseconds) override {
    ++owner_.slicesWaited;
    owner_.millisecondsWaited += milliseconds;
    return endsInSlice_ != 0 && ++slice_ >= endsInSlice_;
  }

 private:
  unsigned endsInSlice_;
  RecordedCommands& owner_;
  unsigned slice_ = 0;
};

}  // namespace

unsigned long ListedAdapters::Enumerate(std::vector<AdapterInfo>& adapters) {
  ++passes;
  const auto failure = failures_.find(passes);
  if (failure != failures_.end()) return failure->second;
  adapters.clear();
  for (const AdapterInfo& adapter : adapters_) {
    const auto first = firstPass_.find(adapter.friendlyName);
    if (first == firstPass_.end() || first->second <= passes) adapters.push_back(adapter);
  }
  return 0;
}

std::unique_ptr<RunningProcess> RecordedCommands::StartHidden(wchar_t* commandLine,
                                                              unsigned long& error) {
  const std::wstring line(commandLine);
  const bool isNetsh = line.rfind(kNetshCommandPrefix, 0) == 0;
  const CommandBehaviour& behaviour = isNetsh ? netsh : others;
  if (behaviour.startError != 0) {
    error = behaviour.startError;
    return nullptr;
  }
  if (isNetsh) lines.push_back(line);
  return std::unique_ptr<RunningProcess>(new RecordedProcess(behaviour.endsInSlice, *this));
}

DescribedMachine::DescribedMachine(MachineDescription description)
    : machine(std::move(description)),
      adapters_(machine.adapters),
      clock_(*CurrentPlatform().clock) {}

MachinePlatform DescribedMachine::View() {
  return {&adapters_, this, this, this, this, this, &clock_, this};
}

unsigned long DescribedMachine::Present(std::vector<NetworkDevice>& devices) {
  devices = machine.devices;
  return 0;
}

unsigned long DescribedMachine::SubKeys(const std::wstring& key, std::vector<std::wstring>& names) {
  bool exists = false;
  const std::wstring lowered = Lowered(key);
  for (const auto& entry : machine.registry) {
    const std::wstring& path = entry.first;
    if (Lowered(path).compare(0, key.size(), lowered) != 0) continue;
    if (path.size() == key.size()) exists = true;
    if (path.size() <= key.size() || path[key.size()] != L'\\') continue;
    exists = true;
    const std::wstring name =
        path.substr(key.size() + 1, path.find(L'\\', key.size() + 1) - key.size() - 1);
    if (names.empty() || names.back() != name) names.push_back(name);
  }
  return exists ? 0 : kErrorFileNotFound;
}

unsigned long DescribedMachine::Values(const std::wstring& key,
                                       std::vector<RegistryValue>& values) {
  const auto found = machine.registry.find(key);
  if (found == machine.registry.end()) return kErrorFileNotFound;
  values = found->second;
  return 0;
}

unsigned long DescribedMachine::CheckWritable(const std::wstring& key) {
  return machine.registry.count(key) == 0 ? kErrorFileNotFound : writeError;
}

unsigned long DescribedMachine::DeleteValue(const std::wstring& key, const std::wstring& name) {
  if (const unsigned long error = CheckWritable(key)) return error;
  if (name == undeletable) return 5;
  std::vector<RegistryValue>& values = machine.registry[key];
  for (auto value = values.begin(); value != values.end(); ++value) {
    if (value->name == name) {
      values.erase(value);
      return 0;
    }
  }
  return kErrorFileNotFound;
}

unsigned long DescribedMachine::SetValue(const std::wstring& key, const RegistryValue& value) {
  if (const unsigned long error = CheckWritable(key)) return error;
  DeleteValue(key, value.name);
  machine.registry[key].push_back(value);
  return 0;
}

unsigned long DescribedMachine::CreateKey(const std::wstring& key) {
  if (writeError != 0) return writeError;
  machine.registry[key];
  return 0;
}

unsigned long DescribedMachine::Read(std::vector<AddressDetection>& addresses) {
  if (!machine.addressTable) return kNotAvailable;
  addresses = looks++ == 0 ? machine.firstLook : machine.laterLook;
  return 0;
}

unsigned long DescribedMachine::Query(const wchar_t* name, ServiceConfig& config) {
  const auto found = machine.services.find(name);
  if (found == machine.services.end()) return kErrorServiceDoesNotExist;
  config = found->second;
  return 0;
}

bool DescribedMachine::Exists(const std::wstring& path) {
  for (const std::wstring& missing : machine.missingFiles) {
    if (missing == path) return false;
  }
  return true;
}

unsigned long DescribedMachine::CreateNew(const std::wstring& path, const std::string& bytes) {
  return HostMachine().files->CreateNew(path, bytes);
}

unsigned long DescribedMachine::Read(const std::wstring& path, FileAccess& access) {
  if (!Exists(path)) return 2;
  const auto found = machine.access.find(Lowered(path));
  if (found != machine.access.end()) {
    access = found->second;
    return 0;
  }
  access = {kTrustedInstallerSid,
            {{true, kSystemSid, 0x1F01FF},
             {true, kAdministratorsSid, 0x1F01FF},
             {true, L"S-1-5-32-545", 0x1200A9}}};
  return 0;
}

unsigned long DescribedMachine::SystemFolder(std::wstring& folder) {
  folder = machine.systemFolder;
  return 0;
}

}  // namespace nubora
