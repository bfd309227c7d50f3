#include "nubora/adapters_file.h"

#include <cwchar>
#include <cwctype>

#include "platform/portable_ini.h"

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

}  // namespace

bool LoadAdaptersFile(const std::wstring& path, std::vector<AdapterInfo>& adapters,
                      std::wstring& error) {
  IniDocument document;
  if (!LoadIniFile(NativePath(path.c_str()), document)) {
    error = L"cannot read the adapters file " + path;
    return false;
  }
  for (const IniSection& section : document.sections) {
    AdapterInfo adapter;
    adapter.friendlyName = section.name;
    const IniEntry* mac = Find(section, L"MAC");
    if (mac == nullptr || !ParseMac(mac->value, adapter.physical)) {
      error = L"[" + section.name + L"] MAC: six hexadecimal groups are needed";
      return false;
    }
    const IniEntry* id = Find(section, L"ID");
    const std::wstring name = id != nullptr ? id->value : L"{" + section.name + L"}";
    adapter.name.assign(name.begin(), name.end());
    if (!AddressesOf(section, L"ADDRESSES", true, adapter.unicast, error) ||
        !AddressesOf(section, L"GATEWAY", false, adapter.gateways, error) ||
        !AddressesOf(section, L"DNS", false, adapter.dns, error)) {
      return false;
    }
    adapters.push_back(adapter);
  }
  if (adapters.empty()) {
    error = L"the adapters file " + path + L" names no adapter";
    return false;
  }
  return true;
}

}  // namespace nubora
