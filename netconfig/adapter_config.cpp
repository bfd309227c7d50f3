#include "netconfig/adapter_config.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace nubora {

bool PlaceText(wchar_t* field, std::size_t capacity, const wchar_t* text) {
  if (capacity == 0) return false;
  const std::size_t length = std::wcslen(text);
  const std::size_t kept = std::min(length, capacity - 1);
  std::wmemcpy(field, text, kept);
  std::wmemset(field + kept, L'\0', capacity - kept);
  return kept == length;
}

void ResetToZero(AdapterConfig& record) { record = AdapterConfig{}; }

bool SameMac(const std::uint8_t (&a)[kMacLength], const std::uint8_t (&b)[kMacLength]) {
  return std::memcmp(a, b, kMacLength) == 0;
}

const AdapterConfig* FindByMac(const AdapterConfigList& list,
                               const std::uint8_t (&mac)[kMacLength]) {
  for (const AdapterConfig& record : list) {
    if (SameMac(record.mac, mac)) return &record;
  }
  return nullptr;
}

}  // namespace nubora
