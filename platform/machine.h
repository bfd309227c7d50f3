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
                        kRegMultiSz = 7, kRegQword = 11;

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
RegistryValue QwordValue(const std::wstring& name, std::uint64_t value);
// A REG_DWORD's or REG_QWORD's number: false for any other value.
bool NumberOf(const RegistryValue& value, std::uint64_t& number);
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
  // The key, and those above it, where they are missing.
  virtual unsigned long CreateKey(const std::wstring& key) = 0;
};

// A network-class device that is present, enabled or not. One that the
// adapter list leaves out is disabled or has IPv4 unbound.
struct NetworkDevice {
  std::wstring guid;              // its interface: the driver key's NetCfgInstanceId
  std::uint8_t physical[6] = {};  // its MAC; all zero where the system keeps none
  bool disabled = false;          // in Device Manager, or by netsh ... admin=disabled
};

class NetworkDevices {
 public:
  virtual ~NetworkDevices() = default;
  virtual unsigned long Present(std::vector<NetworkDevice>& devices) = 0;
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
  unsigned long startType = 0;  // scm::kAutoStart, ...
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
  // Creates the file, where nothing is yet: 80 when a file or a link is
  // there already (never replaced, never followed); 0 or the error.
  virtual unsigned long CreateNew(const std::wstring& path, const std::string& bytes) = 0;
};

// Who may do what to a file or folder: its owner and the entries of its
// discretionary ACL in their order. Rights are the system's access mask.
struct AccessEntry {
  bool allow = true;  // false: a deny entry
  std::wstring sid;   // S-1-5-32-545
  std::uint32_t mask = 0;
  bool inheritOnly = false;  // for what the folder holds only, not the folder
  bool inherited = false;    // taken from the folder above
};

struct FileAccess {
  std::wstring owner;  // its SID
  std::vector<AccessEntry> entries;
};

// The accounts that administer the machine: Administrators, LocalSystem,
// TrustedInstaller.
constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
constexpr wchar_t kSystemSid[] = L"S-1-5-18";
constexpr wchar_t kTrustedInstallerSid[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

class FileSecurity {
 public:
  virtual ~FileSecurity() = default;
  // The owner and ACL of a file or folder; 2 or 3 when there is none. A
  // NULL ACL (no protection at all) is read as Everyone with every right.
  virtual unsigned long Read(const std::wstring& path, FileAccess& access) = 0;
  // The folder Windows runs from (%SystemRoot%).
  virtual unsigned long SystemFolder(std::wstring& folder) = 0;
};

struct MachinePlatform {
  AdapterSource* adapters = nullptr;
  NetworkDevices* devices = nullptr;
  Registry* registry = nullptr;
  AddressTable* addresses = nullptr;
  ServiceConfigs* services = nullptr;
  MachineFiles* files = nullptr;
  Clock* clock = nullptr;
  FileSecurity* security = nullptr;
};

// The machine the tool runs on.
MachinePlatform HostMachine();

}  // namespace nubora
