#include "nubora/machine/adapters_file.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <map>

#include "platform/portable_ini.h"
#include "platform/text.h"

namespace nubora {
namespace {

std::vector<std::wstring> Items(const std::wstring& text) {
  std::vector<std::wstring> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(L',', start);
    std::wstring item = text.substr(start, comma == std::wstring::npos ? comma : comma - start);
    while (!item.empty() && std::iswspace(item.front())) item.erase(item.begin());
    while (!item.empty() && std::iswspace(item.back())) item.pop_back();
    if (!item.empty()) items.push_back(item);
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  return items;
}

bool ParseNumber(const std::wstring& text, unsigned long max, unsigned long& value, int base = 10) {
  if (text.empty() || text.size() > 8) return false;
  wchar_t* end = nullptr;
  value = std::wcstoul(text.c_str(), &end, base);
  return *end == L'\0' && std::iswxdigit(text[0]) && value <= max;
}

bool ParseIpv4(const std::wstring& text, std::uint32_t& address) {
  unsigned char bytes[4] = {};
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = text.find(L'.', start);
    if ((i < 3) == (dot == std::wstring::npos)) return false;
    unsigned long part = 0;
    if (!ParseNumber(text.substr(start, dot - start), 255, part)) return false;
    bytes[i] = static_cast<unsigned char>(part);
    start = dot + 1;
  }
  address = 0;
  auto* out = reinterpret_cast<unsigned char*>(&address);
  for (int i = 0; i < 4; ++i) out[i] = bytes[i];  // network byte order
  return true;
}

bool ParseMac(const std::wstring& text, std::uint8_t (&physical)[8]) {
  std::wstring groups = text;
  for (wchar_t& c : groups) {
    if (c == L'-') c = L':';
  }
  std::size_t start = 0;
  for (int i = 0; i < 6; ++i) {
    const std::size_t colon = groups.find(L':', start);
    if ((i < 5) == (colon == std::wstring::npos)) return false;
    unsigned long byte = 0;
    if (!ParseNumber(groups.substr(start, colon - start), 255, byte, 16)) return false;
    physical[i] = static_cast<std::uint8_t>(byte);
    start = colon + 1;
  }
  return true;
}

const IniEntry* Find(const IniSection& section, const wchar_t* key) {
  for (const IniEntry& entry : section.entries) {
    if (entry.key.size() == std::wcslen(key)) {
      bool same = true;
      for (std::size_t i = 0; i < entry.key.size() && same; ++i) {
        same = std::towupper(entry.key[i]) == static_cast<wint_t>(key[i]);
      }
      if (same) return &entry;
    }
  }
  return nullptr;
}

bool AddressesOf(const IniSection& section, const wchar_t* key, bool withPrefix,
                 std::vector<AdapterAddress>& addresses, std::wstring& error) {
  const IniEntry* entry = Find(section, key);
  if (entry == nullptr) return true;
  for (const std::wstring& item : Items(entry->value)) {
    AdapterAddress address;
    address.present = true;
    std::wstring text = item;
    if (withPrefix) {
      const std::size_t slash = item.find(L'/');
      unsigned long prefix = 0;
      if (slash == std::wstring::npos || !ParseNumber(item.substr(slash + 1), 32, prefix)) {
        error = L"[" + section.name + L"] " + key + L": '" + item + L"' needs a /prefix length";
        return false;
      }
      address.prefixLength = static_cast<std::uint8_t>(prefix);
      text = item.substr(0, slash);
    }
    if (!ParseIpv4(text, address.ipv4)) {
      error = L"[" + section.name + L"] " + key + L": '" + item + L"' is not an IPv4 address";
      return false;
    }
    addresses.push_back(address);
  }
  return true;
}

// A value as its key holds it, or `fallback`.
std::wstring Value(const IniSection& section, const wchar_t* key, const wchar_t* fallback = L"") {
  const IniEntry* entry = Find(section, key);
  return entry != nullptr ? entry->value : fallback;
}

std::wstring Folder(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"/\\");
  return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
}

bool IsAbsolute(const std::wstring& path) {
  return !path.empty() &&
         (path[0] == L'/' || path[0] == L'\\' || (path.size() > 1 && path[1] == L':'));
}

// A present adapter's or a non-present one's interface settings, under the
// names the registry gives them: EnableDHCP a number, NameServer one text,
// the others lists.
void AddInterfaceKey(const IniSection& section, const std::wstring& guid,
                     MachineDescription& machine) {
  std::vector<RegistryValue>& key = machine.registry[kInterfacesKey + guid];
  static const wchar_t* const kLists[][2] = {{L"IPADDRESS", L"IPAddress"},
                                             {L"SUBNETMASK", L"SubnetMask"},
                                             {L"DEFAULTGATEWAY", L"DefaultGateway"},
                                             {L"DEFAULTGATEWAYMETRIC", L"DefaultGatewayMetric"}};
  for (const auto& list : kLists) {
    if (const IniEntry* entry = Find(section, list[0])) {
      key.push_back(TextValue(list[1], kRegMultiSz, Items(entry->value)));
    }
  }
  if (const IniEntry* entry = Find(section, L"NAMESERVER")) {
    key.push_back(TextValue(L"NameServer", kRegSz, {entry->value}));
  }
  if (const IniEntry* entry = Find(section, L"ENABLEDHCP")) {
    key.push_back(DwordValue(L"EnableDHCP", std::wcstoul(entry->value.c_str(), nullptr, 10)));
  }
  if (key.empty()) machine.registry.erase(kInterfacesKey + guid);
  machine.registry[kConnectionsKey + guid + L"\\Connection"].push_back(
      TextValue(L"Name", kRegSz, {section.name}));
  wchar_t number[8];
  std::swprintf(number, 8, L"%04u", static_cast<unsigned>(machine.driverKeys++));
  std::vector<RegistryValue>& driver = machine.registry[kNetDriversKey + std::wstring(number)];
  driver.push_back(TextValue(L"NetCfgInstanceId", kRegSz, {guid}));
  if (const IniEntry* entry = Find(section, L"DESCRIPTION")) {
    driver.push_back(TextValue(L"DriverDesc", kRegSz, {entry->value}));
  }
}

bool ParseStates(const IniSection& section, const AdapterInfo& adapter, MachineDescription& machine,
                 std::wstring& error) {
  static const std::map<std::wstring, AddressState> kStates = {
      {L"invalid", AddressState::kInvalid},
      {L"tentative", AddressState::kTentative},
      {L"duplicate", AddressState::kDuplicate},
      {L"deprecated", AddressState::kDeprecated},
      {L"preferred", AddressState::kPreferred}};
  const std::vector<std::wstring> states = Items(Value(section, L"STATE"));
  if (!states.empty() && states.size() != adapter.unicast.size()) {
    error = L"[" + section.name + L"] STATE: one state for each of ADDRESSES is needed";
    return false;
  }
  for (std::size_t i = 0; i < adapter.unicast.size(); ++i) {
    const std::wstring looks = states.empty() ? L"preferred" : states[i];
    const std::size_t slash = looks.find(L'/');
    const auto first = kStates.find(looks.substr(0, slash));
    const auto later = kStates.find(slash == std::wstring::npos ? looks : looks.substr(slash + 1));
    if (first == kStates.end() || later == kStates.end()) {
      error = L"[" + section.name + L"] STATE: '" + looks + L"' is not a detection state";
      return false;
    }
    machine.firstLook.push_back({adapter.unicast[i].ipv4, first->second});
    machine.laterLook.push_back({adapter.unicast[i].ipv4, later->second});
  }
  return true;
}

// ACE=allow|deny SID RIGHTS [inherit-only] [inherited]; RIGHTS in hex or as
// icacls names them.
bool ParseEntry(const std::wstring& text, AccessEntry& entry) {
  static const std::map<std::wstring, std::uint32_t> kRights = {
      {L"F", 0x1F01FF}, {L"M", 0x1301BF}, {L"RX", 0x1200A9},  {L"R", 0x120089},
      {L"W", 0x100116}, {L"D", 0x10000},  {L"WDAC", 0x40000}, {L"WO", 0x80000},
      {L"WD", 0x2},     {L"AD", 0x4},     {L"DC", 0x40}};
  std::vector<std::wstring> words;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(L' ', at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  if (words.size() < 3 || (words[0] != L"allow" && words[0] != L"deny")) return false;
  entry.allow = words[0] == L"allow";
  entry.sid = words[1];
  const auto named = kRights.find(words[2]);
  unsigned long mask = 0;
  if (named != kRights.end()) {
    mask = named->second;
  } else if (words[2].rfind(L"0x", 0) != 0 || !ParseNumber(words[2].substr(2), ~0UL, mask, 16)) {
    return false;
  }
  entry.mask = static_cast<std::uint32_t>(mask);
  for (std::size_t i = 3; i < words.size(); ++i) {
    if (words[i] == L"inherit-only") {
      entry.inheritOnly = true;
    } else if (words[i] == L"inherited") {
      entry.inherited = true;
    } else {
      return false;
    }
  }
  return true;
}

bool ReadAccess(const IniSection& section, MachineDescription& machine, std::wstring& error) {
  FileAccess& access = machine.access[Lowered(section.name.substr(7))];
  access.owner = Value(section, L"OWNER", kSystemSid);
  for (const IniEntry& line : section.entries) {
    if (Lowered(line.key) != L"ace") continue;
    AccessEntry entry;
    if (!ParseEntry(line.value, entry)) {
      error = L"[" + section.name + L"] ACE: '" + line.value +
              L"' is not allow|deny SID RIGHTS [inherit-only] [inherited]";
      return false;
    }
    access.entries.push_back(entry);
  }
  return true;
}

bool ReadSection(const IniSection& section, const std::wstring& folder, MachineDescription& machine,
                 std::wstring& error) {
  if (section.name == L"machine") {
    const std::wstring log = Value(section, L"LOG");
    if (!log.empty()) machine.log = IsAbsolute(log) ? log : folder + log;
    for (const std::wstring& file : Items(Value(section, L"MISSING"))) {
      machine.missingFiles.push_back(file);
    }
    machine.addressTable = Value(section, L"ADDRESS_TABLE", L"1") != L"0";
    machine.systemFolder = Value(section, L"SYSTEM_FOLDER", machine.systemFolder.c_str());
    machine.lowerCaseKeys = Value(section, L"INTERFACE_KEYS") == L"lower";
    return true;
  }
  if (section.name.rfind(L"access ", 0) == 0) return ReadAccess(section, machine, error);
  if (section.name.rfind(L"service ", 0) == 0) {
    ServiceConfig& service = machine.services[section.name.substr(8)];
    service.startType = std::wcstoul(Value(section, L"START", L"2").c_str(), nullptr, 10);
    service.account = Value(section, L"ACCOUNT", L"LocalSystem");
    service.imagePath = Value(section, L"IMAGEPATH");
    return true;
  }
  if (section.name.rfind(L"event source ", 0) == 0) {
    machine.registry[kEventSourcesKey + section.name.substr(13)].push_back(
        TextValue(L"EventMessageFile", kRegExpandSz, {Value(section, L"MESSAGEFILE")}));
    return true;
  }
  const std::wstring device = Value(section, L"DEVICE", L"present");
  AdapterInfo adapter;
  adapter.friendlyName = section.name;
  const std::wstring guid = Value(section, L"ID", (L"{" + section.name + L"}").c_str());
  adapter.name.assign(guid.begin(), guid.end());
  if (device != L"present" && device != L"disabled" && device != L"unbound" &&
      device != L"absent") {
    error = L"[" + section.name + L"] DEVICE: present, disabled, unbound or absent";
    return false;
  }
  const IniEntry* mac = Find(section, L"MAC");
  if ((mac != nullptr || device == L"present") &&
      (mac == nullptr || !ParseMac(mac->value, adapter.physical))) {
    error = L"[" + section.name + L"] MAC: six hexadecimal groups are needed";
    return false;
  }
  if (device == L"present") {
    if (!AddressesOf(section, L"ADDRESSES", true, adapter.unicast, error) ||
        !AddressesOf(section, L"GATEWAY", false, adapter.gateways, error) ||
        !AddressesOf(section, L"DNS", false, adapter.dns, error) ||
        !ParseStates(section, adapter, machine, error)) {
      return false;
    }
    machine.adapters.push_back(adapter);
  }
  AddInterfaceKey(section, guid, machine);
  if (device == L"absent") return true;
  NetworkDevice present;
  present.guid = guid;
  std::copy(adapter.physical, adapter.physical + 6, present.physical);
  present.disabled = device == L"disabled";
  machine.devices.push_back(present);
  return true;
}

}  // namespace

bool LoadAdaptersFile(const std::wstring& path, std::vector<AdapterInfo>& adapters,
                      std::wstring& error) {
  MachineDescription machine;
  if (!LoadMachineFile(path, machine, error)) return false;
  adapters = machine.adapters;
  if (adapters.empty()) {
    error = L"the adapters file " + path + L" names no adapter";
    return false;
  }
  return true;
}

bool LoadMachineFile(const std::wstring& path, MachineDescription& machine, std::wstring& error) {
  IniDocument document;
  if (!LoadIniFile(NativePath(path.c_str()), document)) {
    error = L"cannot read the machine file " + path;
    return false;
  }
  for (const IniSection& section : document.sections) {
    if (!ReadSection(section, Folder(path), machine, error)) return false;
  }
  if (!machine.lowerCaseKeys) return true;
  RegistryKeys spelled;
  for (auto& key : machine.registry) {
    const std::size_t root = std::wcslen(kInterfacesKey);
    const bool interface = key.first.compare(0, root, kInterfacesKey) == 0;
    spelled[interface ? kInterfacesKey + Lowered(key.first.substr(root)) : key.first] =
        std::move(key.second);
  }
  machine.registry = std::move(spelled);
  return true;
}

}  // namespace nubora
