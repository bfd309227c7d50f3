#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/adapters.h"
#include "platform/machine.h"
#include "platform/text.h"

namespace nubora {

// Reads the adapters a machine would show from a small INI file: one section
// per adapter, named by its connection name, with
//   MAC=00:00:5e:00:53:01          (required; six groups, ':' or '-')
//   ADDRESSES=192.0.2.10/24,...    (IPv4 address/prefix length, in order)
//   GATEWAY=192.0.2.1              (the default gateway)
//   DNS=198.51.100.53,...          (DNS servers, in order)
//   ID={...}                       (the permanent name; optional)
// False with a message naming the section and key when the file is unusable.
// A machine description (below) is also an adapters file: its listed adapters.
bool LoadAdaptersFile(const std::wstring& path, std::vector<AdapterInfo>& adapters,
                      std::wstring& error);

// A machine as `nubora doctor` reads it (examples/machine.ini tells the
// format): an adapters file whose sections may also hold
//   DEVICE=present|disabled|unbound|absent  (a disabled device, or one with
//                                     IPv4 unbound, is not listed, its MAC
//                                     optional; an absent one is a
//                                     non-present device)
//   STATE=preferred,tentative/preferred,...  each address's detection state,
//                                     then (after '/') its state a look later
//   EnableDHCP, IPAddress, SubnetMask, DefaultGateway, DefaultGatewayMetric,
//   NameServer                        its interface key's values
//   DESCRIPTION                       its driver's description
// and the sections [machine] (LOG, MISSING, ADDRESS_TABLE, SYSTEM_FOLDER,
// INTERFACE_KEYS=lower: the interface keys' GUIDs spelled as Windows Vista
// and later spell them),
// [service NAME] (START, ACCOUNT, IMAGEPATH), [event source NAME]
// (MESSAGEFILE) and [access PATH] (OWNER, ACE lines).
// Registry paths in the registry's order: whatever their case.
struct RegistryOrder {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return Lowered(a) < Lowered(b);
  }
};
using RegistryKeys = std::map<std::wstring, std::vector<RegistryValue>, RegistryOrder>;

struct MachineDescription {
  std::vector<AdapterInfo> adapters;   // listed, in file order
  std::vector<NetworkDevice> devices;  // present
  RegistryKeys registry;               // keys of HKLM
  std::vector<AddressDetection> firstLook, laterLook;
  bool addressTable = true;
  std::map<std::wstring, ServiceConfig> services;
  std::vector<std::wstring> missingFiles;     // every other file exists
  std::map<std::wstring, FileAccess> access;  // by lower-case path; others: the stand-in's
  std::wstring systemFolder = L"c:\\windows";
  std::wstring log;  // the service's log
  std::size_t driverKeys = 0;
  bool lowerCaseKeys = false;
};
bool LoadMachineFile(const std::wstring& path, MachineDescription& machine, std::wstring& error);

}  // namespace nubora
