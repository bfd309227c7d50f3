// The doctor's view of a Windows machine: the registry, the present network
// devices (SetupAPI, their MACs from the interface table), the address table (looked up at run
// time, so that the tool still starts on Windows XP and 2003), the service manager and files'
// owners and ACLs.
// The address table's types are Windows Vista's; Winsock's headers go first.
#ifndef NTDDI_VERSION
#define NTDDI_VERSION 0x06000000
#endif
#include <winsock2.h>
#include <ws2ipdef.h>
// After Winsock:
#include <iphlpapi.h>
#include <setupapi.h>
#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <cfgmgr32.h>
#include <sddl.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "platform/machine.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "platform/win32/win32_handles.h"

namespace nubora {
namespace {

// The network adapter device class.
const GUID kNetClass = {
    0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

struct DeviceListTraits {
  static HDEVINFO Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HDEVINFO list) { ::SetupDiDestroyDeviceInfoList(list); }
};

// What the security functions allocate for their caller.
struct LocalTraits {
  static HLOCAL Invalid() { return nullptr; }
  static void Close(HLOCAL memory) { ::LocalFree(memory); }
};
using unique_local = unique_handle<LocalTraits>;

// A path with its %VARIABLES% replaced, as the registry's paths may hold them.
std::wstring Expanded(const std::wstring& path) {
  wchar_t expanded[MAX_PATH * 2] = {};
  const DWORD length = ::ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH * 2);
  return length > 0 && length <= MAX_PATH * 2 ? expanded : path;
}

unsigned long OpenKey(const std::wstring& path, REGSAM access, unique_key& key) {
  HKEY opened = nullptr;
  const LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &opened);
  key.reset(status == ERROR_SUCCESS ? opened : nullptr);
  return static_cast<unsigned long>(status);
}

std::wstring ReadText(HKEY key, const wchar_t* name) {
  wchar_t text[512] = {};
  DWORD size = sizeof text - sizeof(wchar_t), type = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return L"";
  }
  return text;
}

class HostRegistry : public Registry {
 public:
  unsigned long SubKeys(const std::wstring& path, std::vector<std::wstring>& names) override {
    unique_key key;
    if (const unsigned long error = OpenKey(path, KEY_READ, key)) return error;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      const LSTATUS status =
          ::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) return 0;
      if (status != ERROR_SUCCESS) return static_cast<unsigned long>(status);
      names.emplace_back(name, length);
    }
  }
  unsigned long Values(const std::wstring& path, std::vector<RegistryValue>& values) override {
    unique_key key;
    if (const unsigned long error = OpenKey(path, KEY_READ, key)) return error;
    DWORD maxName = 0, maxData = 0;
    LSTATUS status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, &maxName, &maxData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<unsigned long>(status);
    std::vector<wchar_t> name(maxName + 1);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = maxName + 1, size = maxData + 1, type = 0;
      status = ::RegEnumValueW(key.get(), i, name.data(), &nameLength, nullptr, &type, data.data(),
                               &size);
      if (status == ERROR_NO_MORE_ITEMS) return 0;
      if (status != ERROR_SUCCESS) return static_cast<unsigned long>(status);
      RegistryValue value;
      value.name.assign(name.data(), nameLength);
      value.type = type;
      value.data.assign(data.begin(), data.begin() + size);
      values.push_back(value);
    }
  }
  unsigned long CheckWritable(const std::wstring& path) override {
    unique_key key;
    return OpenKey(path, KEY_SET_VALUE, key);
  }
  unsigned long DeleteValue(const std::wstring& path, const std::wstring& name) override {
    unique_key key;
    if (const unsigned long error = OpenKey(path, KEY_SET_VALUE, key)) return error;
    return static_cast<unsigned long>(::RegDeleteValueW(key.get(), name.c_str()));
  }
  unsigned long SetValue(const std::wstring& path, const RegistryValue& value) override {
    unique_key key;
    if (const unsigned long error = OpenKey(path, KEY_SET_VALUE, key)) return error;
    return static_cast<unsigned long>(::RegSetValueExW(key.get(), value.name.c_str(), 0, value.type,
                                                       value.data.data(),
                                                       static_cast<DWORD>(value.data.size())));
  }
  unsigned long CreateKey(const std::wstring& path) override {
    HKEY created = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &created, nullptr);
    unique_key key(status == ERROR_SUCCESS ? created : nullptr);
    return static_cast<unsigned long>(status);
  }
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40];
  std::swprintf(text, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

bool IsZero(const UCHAR* mac) {
  return std::all_of(mac, mac + 6, [](UCHAR byte) { return byte == 0; });
}

// An IP Helper function looked up at run time (Windows Vista and later);
// null where this Windows lacks it.
template <typename Function>
Function IpHelperFunction(const char* name) {
  HMODULE iphlpapi = ::GetModuleHandleW(L"iphlpapi.dll");
  if (iphlpapi == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(iphlpapi, name)));
}

using FreeMibTableFunction = VOID(WINAPI*)(PVOID);

// Each interface's GUID and MAC from the interface table, which keeps
// disabled adapters too; none before Windows Vista, which has no such table.
std::vector<NetworkDevice> InterfaceMacs() {
  std::vector<NetworkDevice> macs;
  const auto get = IpHelperFunction<DWORD(WINAPI*)(PMIB_IF_TABLE2*)>("GetIfTable2");
  const auto free = IpHelperFunction<FreeMibTableFunction>("FreeMibTable");
  PMIB_IF_TABLE2 table = nullptr;
  if (get == nullptr || free == nullptr || get(&table) != NO_ERROR) return macs;
  for (ULONG i = 0; i < table->NumEntries; ++i) {
    const MIB_IF_ROW2& row = table->Table[i];
    if (row.PhysicalAddressLength != 6) continue;
    const UCHAR* mac =
        IsZero(row.PhysicalAddress) ? row.PermanentPhysicalAddress : row.PhysicalAddress;
    NetworkDevice entry;
    entry.guid = Lowered(GuidText(row.InterfaceGuid));
    std::copy(mac, mac + 6, entry.physical);
    macs.push_back(entry);
  }
  free(table);
  return macs;
}

// The MAC set in the driver's advanced properties (NetworkAddress): twelve
// hexadecimal digits.
bool ParseNetworkAddress(const std::wstring& text, std::uint8_t (&mac)[6]) {
  if (text.size() != 12 || !std::all_of(text.begin(), text.end(), ::iswxdigit)) return false;
  for (int i = 0; i < 6; ++i) {
    mac[i] = static_cast<std::uint8_t>(std::wcstoul(text.substr(2 * i, 2).c_str(), nullptr, 16));
  }
  return true;
}

class HostDevices : public NetworkDevices {
 public:
  unsigned long Present(std::vector<NetworkDevice>& devices) override {
    unique_handle<DeviceListTraits> list(
        ::SetupDiGetClassDevsW(&kNetClass, nullptr, nullptr, DIGCF_PRESENT));
    if (!list) return ::GetLastError();
    const std::vector<NetworkDevice> macs = InterfaceMacs();
    SP_DEVINFO_DATA info = {};
    info.cbSize = sizeof info;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(list.get(), i, &info); ++i) {
      // The driver key names the device's interface.
      const HKEY opened =
          ::SetupDiOpenDevRegKey(list.get(), &info, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
      if (opened == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) continue;
      unique_key driver(opened);
      NetworkDevice device;
      device.guid = ReadText(driver.get(), L"NetCfgInstanceId");
      if (device.guid.empty()) continue;
      if (!ParseNetworkAddress(ReadText(driver.get(), L"NetworkAddress"), device.physical)) {
        for (const NetworkDevice& known : macs) {
          if (known.guid == Lowered(device.guid))
            std::copy(known.physical, known.physical + 6, device.physical);
        }
      }
      ULONG status = 0, problem = 0;
      device.disabled = ::CM_Get_DevNode_Status(&status, &problem, info.DevInst, 0) == CR_SUCCESS &&
                        (status & DN_HAS_PROBLEM) != 0 && problem == CM_PROB_DISABLED;
      devices.push_back(device);
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_NO_MORE_ITEMS ? 0 : error;
  }
};

class HostAddressTable : public AddressTable {
 public:
  unsigned long Read(std::vector<AddressDetection>& addresses) override {
    const auto get = IpHelperFunction<DWORD(WINAPI*)(ADDRESS_FAMILY, PMIB_UNICASTIPADDRESS_TABLE*)>(
        "GetUnicastIpAddressTable");
    const auto free = IpHelperFunction<FreeMibTableFunction>("FreeMibTable");
    if (get == nullptr || free == nullptr) return ERROR_NOT_SUPPORTED;
    PMIB_UNICASTIPADDRESS_TABLE table = nullptr;
    const DWORD error = get(AF_INET, &table);
    if (error != NO_ERROR) return error;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
      const MIB_UNICASTIPADDRESS_ROW& row = table->Table[i];
      AddressDetection address;
      address.ipv4 = row.Address.Ipv4.sin_addr.s_addr;
      address.state = static_cast<AddressState>(row.DadState);
      addresses.push_back(address);
    }
    free(table);
    return 0;
  }
};

class HostServices : public ServiceConfigs {
 public:
  unsigned long Query(const wchar_t* name, ServiceConfig& config) override {
    unique_service_handle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return ::GetLastError();
    unique_service_handle service(::OpenServiceW(manager.get(), name, SERVICE_QUERY_CONFIG));
    if (!service) return ::GetLastError();
    DWORD needed = 0;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + sizeof(QUERY_SERVICE_CONFIGW));
    auto* query = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service.get(), query, static_cast<DWORD>(buffer.size()), &needed)) {
      return ::GetLastError();
    }
    config.startType = query->dwStartType;
    config.account = query->lpServiceStartName != nullptr ? query->lpServiceStartName : L"";
    config.imagePath = query->lpBinaryPathName != nullptr ? query->lpBinaryPathName : L"";
    return 0;
  }
};

class HostFiles : public MachineFiles {
 public:
  bool Exists(const std::wstring& path) override {
    return ::GetFileAttributesW(Expanded(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  unsigned long CreateNew(const std::wstring& path, const std::string& bytes) override {
    unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) ||
        written != bytes.size()) {
      return ::GetLastError();
    }
    return 0;
  }
};

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return L"";
  unique_local held(text);
  return text;
}

class HostSecurity : public FileSecurity {
 public:
  unsigned long Read(const std::wstring& path, FileAccess& access) override {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error =
        ::GetNamedSecurityInfoW(Expanded(path).c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return error;
    const unique_local held(descriptor);
    access.owner = SidText(owner);
    access.entries.clear();
    if (dacl == nullptr) {
      access.entries.push_back({true, L"S-1-1-0", FILE_ALL_ACCESS});
      return 0;
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      void* ace = nullptr;
      if (!::GetAce(dacl, i, &ace)) return ::GetLastError();
      const auto* header = static_cast<const ACE_HEADER*>(ace);
      // Allow, deny and callback allow entries share one layout; object
      // entries belong to directory objects, not files.
      const BYTE type = header->AceType;
      if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_DENIED_ACE_TYPE &&
          type != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
        continue;
      }
      auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      access.entries.push_back({type != ACCESS_DENIED_ACE_TYPE, SidText(&entry->SidStart),
                                entry->Mask, (header->AceFlags & INHERIT_ONLY_ACE) != 0,
                                (header->AceFlags & INHERITED_ACE) != 0});
    }
    return 0;
  }
  // The system's folder, not a terminal server user's own Windows folder.
  unsigned long SystemFolder(std::wstring& folder) override {
    wchar_t path[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return ::GetLastError();
    folder.assign(path, length);
    return 0;
  }
};

}  // namespace

MachinePlatform HostMachine() {
  static HostDevices devices;
  static HostRegistry registry;
  static HostAddressTable addresses;
  static HostServices services;
  static HostFiles files;
  static HostSecurity security;
  const Platform platform = CurrentPlatform();
  return {platform.adapters, &devices, &registry,      &addresses,
          &services,         &files,   platform.clock, &security};
}

}  // namespace nubora
