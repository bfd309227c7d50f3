// --fix ghost-addresses: the backup first, then the interface keys cleared.
#include <cstdint>
#include <cstdio>

#include "nubora/doctor/doctor.h"
#include "nubora/runtext/run_text.h"
#include "platform/system_errors.h"

namespace nubora {
namespace {

// The values a static configuration leaves in an interface key.
const wchar_t* const kStaticValues[] = {L"IPAddress", L"SubnetMask", L"DefaultGateway",
                                        L"DefaultGatewayMetric", L"NameServer"};

// A string as a .reg file writes it: in quotes, a backslash before each
// backslash and quote.
std::wstring RegQuoted(const std::wstring& text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

// Text a .reg file can quote: UTF-16 ending in one NUL, and no line break.
bool PlainText(const RegistryValue& value) {
  const std::vector<std::uint8_t>& data = value.data;
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < data.size(); i += 2) {
    const unsigned c = data[i] | data[i + 1] << 8;
    const bool last = i + 2 == data.size();
    if ((c == 0) != last || c == L'\r' || c == L'\n') return false;
  }
  return true;
}

// A key or value name a .reg file cannot hold: a line break (or another
// control character) would end its line, and what follows would be imported
// as lines of its own.
bool Unquotable(const std::wstring& name) {
  for (wchar_t c : name) {
    if (c < L' ') return true;
  }
  return false;
}

std::wstring ValueLine(const RegistryValue& value) {
  std::wstring line = value.name.empty() ? L"@" : RegQuoted(value.name);
  wchar_t number[16];
  if (value.type == kRegSz && PlainText(value)) return line + L"=" + RegQuoted(TextItems(value)[0]);
  std::uint64_t dword = 0;
  if (value.type == kRegDword && NumberOf(value, dword)) {
    std::swprintf(number, 16, L"%08lx", static_cast<unsigned long>(dword));
    return line + L"=dword:" + number;
  }
  if (value.type == kRegBinary) {
    line += L"=hex:";
  } else {
    std::swprintf(number, 16, L"=hex(%lx):", value.type);
    line += number;
  }
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    std::swprintf(number, 16, i == 0 ? L"%02x" : L",%02x", value.data[i]);
    line += number;
  }
  return line;
}

}  // namespace

bool RegBackup(Registry& registry, const std::vector<std::wstring>& keys, std::string& bytes,
               unsigned long& error) {
  std::wstring text = L"Windows Registry Editor Version 5.00\r\n";
  for (const std::wstring& key : keys) {
    std::vector<RegistryValue> values;
    error = registry.Values(key, values);
    if (error != 0) return false;
    error = kErrorInvalidData;
    if (Unquotable(key) || key.find(L']') != std::wstring::npos) return false;
    for (const RegistryValue& value : values) {
      if (Unquotable(value.name)) return false;
    }
    error = 0;
    text += L"\r\n[HKEY_LOCAL_MACHINE\\" + key + L"]\r\n";
    for (const RegistryValue& value : values) text += ValueLine(value) + L"\r\n";
  }
  bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return true;
}

bool FixGhostAddresses(const std::vector<Finding>& findings, const std::wstring& backup,
                       const MachinePlatform& machine, std::vector<std::wstring>& lines) {
  std::vector<std::wstring> keys;
  for (const Finding& finding : findings) {
    const std::wstring key = kInterfacesKey + finding.interfaceGuid;
    if (std::string(finding.id) != "ghost-address" || finding.interfaceGuid.empty()) continue;
    bool known = false;
    for (const std::wstring& seen : keys) known = known || seen == key;
    if (!known) keys.push_back(key);
  }
  if (keys.empty()) {
    lines.push_back(L"no ghost address to clear");
    return true;
  }
  Registry& registry = *machine.registry;
  unsigned long error = 0;
  for (const std::wstring& key : keys) {
    if ((error = registry.CheckWritable(key)) != 0) {
      lines.push_back(L"HKLM\\" + key + L" cannot be changed (" + ErrorText(error) + L")" +
                      (error == kErrorAccessDenied ? L": run as an administrator" : L"") +
                      L"; nothing changed");
      return false;
    }
  }
  std::string bytes;
  if (!RegBackup(registry, keys, bytes, error) ||
      (error = machine.files->CreateNew(backup, bytes)) != 0) {
    lines.push_back(L"the backup " + backup + L" cannot be written (" + ErrorText(error) +
                    L"); nothing changed");
    return false;
  }
  lines.push_back(L"backup: " + backup + L" (to restore: reg import \"" + backup + L"\")");
  bool done = true;
  for (const std::wstring& key : keys) {
    // DHCP turned on over a half-cleared key would leave addresses beside it.
    bool cleared = true;
    for (const wchar_t* name : kStaticValues) {
      error = registry.DeleteValue(key, name);
      if (error == kErrorFileNotFound) continue;  // not there
      lines.push_back((error == 0 ? L"deleted HKLM\\" : L"cannot delete HKLM\\") + key + L"\\" +
                      name + (error == 0 ? L"" : L" (" + ErrorText(error) + L")"));
      if (error != 0) {
        lines.push_back(L"HKLM\\" + key + L" left as it is now: DHCP not turned on");
        cleared = done = false;
        break;
      }
    }
    if (!cleared) continue;
    error = registry.SetValue(key, DwordValue(L"EnableDHCP", 1));
    lines.push_back((error == 0 ? L"set HKLM\\" : L"cannot set HKLM\\") + key +
                    L"\\EnableDHCP to 1" + (error == 0 ? L"" : L" (" + ErrorText(error) + L")"));
    done = done && error == 0;
  }
  return done;
}

}  // namespace nubora
