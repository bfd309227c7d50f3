#include <cstdint>
#include <cwctype>

#include "nubora/doctor/checks.h"
#include "nubora/runtext/run_text.h"
#include "platform/ipv4_text.h"
#include "platform/text.h"

namespace nubora {

std::wstring Dotted(std::uint32_t ipv4) { return Widened(Ipv4ToDotted(ipv4)); }

bool IsLinkLocal(std::uint32_t ipv4) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&ipv4);
  return bytes[0] == 169 && bytes[1] == 254;
}

const RegistryValue* FindValue(const std::vector<RegistryValue>& values, const wchar_t* name) {
  for (const RegistryValue& value : values) {
    if (Lowered(value.name) == Lowered(name)) return &value;
  }
  return nullptr;
}

// A REG_DWORD's number, or -1.
long long DwordOf(const RegistryValue* value) {
  std::uint64_t number = 0;
  if (value == nullptr || value->type != kRegDword || !NumberOf(*value, number)) return -1;
  return static_cast<long long>(number);
}

std::wstring TextOf(Registry& registry, const std::wstring& key, const wchar_t* name) {
  std::vector<RegistryValue> values;
  if (registry.Values(key, values) != 0) return L"";
  const RegistryValue* value = FindValue(values, name);
  const std::vector<std::wstring> items =
      value != nullptr ? TextItems(*value) : std::vector<std::wstring>();
  return items.empty() ? L"" : items[0];
}

void ReadInterfaceKeys(const MachinePlatform& machine, Reading& reading) {
  std::vector<std::wstring> present;
  for (const AdapterInfo& adapter : reading.adapters) {
    present.push_back(Lowered(std::wstring(adapter.name.begin(), adapter.name.end())));
  }
  reading.devicesError = machine.devices->Present(reading.devices);
  reading.devicesKnown = reading.devicesError == 0;
  for (const NetworkDevice& device : reading.devices) present.push_back(Lowered(device.guid));

  const std::wstring root(kInterfacesKey);
  std::vector<std::wstring> guids;
  machine.registry->SubKeys(root.substr(0, root.size() - 1), guids);
  for (const std::wstring& guid : guids) {
    InterfaceKey key;
    key.guid = guid;
    key.present = std::find(present.begin(), present.end(), Lowered(guid)) != present.end();
    std::vector<RegistryValue> values;
    machine.registry->Values(root + guid, values);
    key.enableDhcp = DwordOf(FindValue(values, L"EnableDHCP"));
    if (const RegistryValue* addresses = FindValue(values, L"IPAddress")) {
      key.addresses = TextItems(*addresses);
    }
    reading.keys.push_back(key);
  }
}

// The description of the network driver whose interface is `guid`.
std::wstring DriverDescription(Registry& registry, const std::wstring& guid) {
  const std::wstring root(kNetDriversKey);
  std::vector<std::wstring> numbers;
  registry.SubKeys(root.substr(0, root.size() - 1), numbers);
  for (const std::wstring& number : numbers) {
    if (Lowered(TextOf(registry, root + number, L"NetCfgInstanceId")) == Lowered(guid)) {
      return TextOf(registry, root + number, L"DriverDesc");
    }
  }
  return L"";
}

}  // namespace nubora
