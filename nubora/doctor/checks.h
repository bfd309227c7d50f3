#pragma once

// What the doctor's checks share: the machine read once, and one check per
// family of findings.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "nubora/doctor/doctor.h"
#include "nubora/machine/item_forms.h"
#include "nubora/machine/predicted_run.h"
#include "platform/text.h"

namespace nubora {

std::wstring Dotted(std::uint32_t ipv4);
bool IsLinkLocal(std::uint32_t ipv4);
const RegistryValue* FindValue(const std::vector<RegistryValue>& values, const wchar_t* name);
// A REG_DWORD's number, or -1.
long long DwordOf(const RegistryValue* value);
std::wstring TextOf(Registry& registry, const std::wstring& key, const wchar_t* name);
// The description of the network driver whose interface is `guid`.
std::wstring DriverDescription(Registry& registry, const std::wstring& guid);
// The executable a service's command line starts.
std::wstring ImageFile(const std::wstring& commandLine);

// One interface key's TCP/IP settings.
struct InterfaceKey {
  std::wstring guid;
  long long enableDhcp = -1;
  std::vector<std::wstring> addresses;
  bool present = false;
  // Static settings kept: DHCP off and some address other than 0.0.0.0.
  bool KeepsSettings() const {
    return enableDhcp == 0 && std::any_of(addresses.begin(), addresses.end(),
                                          [](const std::wstring& a) { return a != L"0.0.0.0"; });
  }
};

// What every check reads, read once.
struct Reading {
  IniReading ini;
  std::vector<AdapterInfo> adapters;
  std::vector<MisformedItem> misformed;
  std::vector<InterfaceKey> keys;
  std::vector<NetworkDevice> devices;  // present, listed or not
  bool devicesKnown = true;
  unsigned long devicesError = 0;
  std::wstring Section(std::size_t record) const {
    return ini.fates[ini.recordSection[record]].section;
  }
  const InterfaceKey* KeyOf(const std::string& adapterName) const {
    const std::wstring guid = Lowered(std::wstring(adapterName.begin(), adapterName.end()));
    for (const InterfaceKey& key : keys) {
      if (Lowered(key.guid) == guid) return &key;
    }
    return nullptr;
  }
};

void ReadInterfaceKeys(const MachinePlatform& machine, Reading& reading);

// The checks, each adding its family's findings to `out`.
void CheckConfig(const Reading& reading, const std::wstring& ini, std::vector<Finding>& out);
void CheckGhostsAndMacs(const Reading& reading, const MachinePlatform& machine,
                        std::vector<Finding>& out);
void CheckApipa(const Reading& reading, std::vector<Finding>& out);
void CheckDuplicates(const Reading& reading, const MachinePlatform& machine,
                     std::vector<Finding>& out);
// False when the next boot's run cannot be played (kRunNotKept).
bool CheckDrift(const Reading& reading, const std::wstring& ini, std::vector<Finding>& out);
void CheckServices(const MachinePlatform& machine, std::vector<Finding>& out);
void CheckFileAccess(const MachinePlatform& machine, std::vector<Finding>& out);
void CheckLastBoot(const std::wstring& log, std::vector<Finding>& out);

}  // namespace nubora
