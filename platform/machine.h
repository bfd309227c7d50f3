#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/adapters.h"
#include "platform/clock.h"
#include "platform/identity.h"

namespace nubora {

// What `nubora doctor` reads of a machine beyond its adapter list, and the one
// thing it mends. Error codes are the system's; a platform without the
// facility answers 50 ("not supported").

// The keys the doctor reads: interfaces' TCP/IP settings (a subkey per
// interface GUID), connection names (GUID\Connection, Name), network drivers
// (NNNN: NetCfgInstanceId, DriverDesc), and event sources (kEventSourcesKey).
constexpr wchar_t kInterfacesKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr wchar_t kConnectionsKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";
constexpr wchar_t kNetDriversKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";

constexpr unsigned long kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4,
                        kRegMultiSz = 7;

struct RegistryValue {
  std::wstring name;
  unsigned long type = kRegSz;
  std::vector<std::uint8_t> data;  // as the registry keeps it: text in UTF-16LE with its NULs
};

inline bool operator==(const RegistryValue& a, const RegistryValue& b) {
  return a.name == b.name && a.type == b.type && a.data == b.data;
}

// One text value; a REG_MULTI_SZ holds each item, then one more NUL.
RegistryValue TextValue(const std::wstring& name, unsigned long type,
                        const std::vector<std::wstring>& items);
RegistryValue DwordValue(const std::wstring& name, std::uint32_t value);
// The items of a text value (one for REG_SZ), or of none for other types.
std::vector<std::wstring> TextItems(const RegistryValue& value);

// Keys of HKEY_LOCAL_MACHINE, named without it.
class Registry {
 public:
  virtual ~Registry() = default;
  // 2 when the key does not exist.
  virtual unsigned long SubKeys(const std::wstring& key, std::vector<std::wstring>& names) = 0;
  virtual unsigned long Values(const std::wstring& key, std::vector<RegistryValue>& values) = 0;
  // Opens the key for changing its values and changes nothing: 5 without
  // the rights to.
  virtual unsigned long CheckWritable(const std::wstring& key) = 0;
  // 2 when the value does not exist.
  virtual unsigned long DeleteValue(const std::wstring& key, const std::wstring& name) = 0;
  virtual unsigned long SetValue(const std::wstring& key, const RegistryValue& value) = 0;
};

// The network-class devices that are present, enabled or not: the interface
// GUID (NetCfgInstanceId) of each.
class NetworkDevices {
 public:
  virtual ~NetworkDevices() = default;
  virtual unsigned long Present(std::vector<std::wstring>& guids) = 0;
};

// An address's duplicate address detection state, as the system numbers it.
enum class AddressState {
  kInvalid = 0,
  kTentative = 1,
  kDuplicate = 2,
  kDeprecated = 3,
  kPreferred = 4
};

struct AddressDetection {
  std::uint32_t ipv4 = 0;  // network byte order
  AddressState state = AddressState::kPreferred;
};

class AddressTable {
 public:
  virtual ~AddressTable() = default;
  // Every unicast IPv4 address of the machine; 50 where the system keeps no
  // such table (before Windows Vista).
  virtual unsigned long Read(std::vector<AddressDetection>& addresses) = 0;
};

struct ServiceConfig {
  unsigned long startType = 0;  // 2: automatic
  std::wstring account;
  std::wstring imagePath;
};

class ServiceConfigs {
 public:
  virtual ~ServiceConfigs() = default;
  // 1060 when no service has that name.
  virtual unsigned long Query(const wchar_t* name, ServiceConfig& config) = 0;
};

class MachineFiles {
 public:
  virtual ~MachineFiles() = default;
  virtual bool Exists(const std::wstring& path) = 0;
  // Creates or replaces the file; 0 or the error.
  virtual unsigned long Write(const std::wstring& path, const std::string& bytes) = 0;
};

struct MachinePlatform {
  AdapterSource* adapters = nullptr;
  NetworkDevices* devices = nullptr;
  Registry* registry = nullptr;
  AddressTable* addresses = nullptr;
  ServiceConfigs* services = nullptr;
  MachineFiles* files = nullptr;
  Clock* clock = nullptr;
};

// The machine the tool runs on.
MachinePlatform HostMachine();

}  // namespace nubora
