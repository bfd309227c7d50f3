#include "platform/machine.h"

namespace nubora {

RegistryValue TextValue(const std::wstring& name, unsigned long type,
                        const std::vector<std::wstring>& items) {
  RegistryValue value;
  value.name = name;
  value.type = type;
  const auto put = [&value](unsigned c) {
    value.data.push_back(static_cast<std::uint8_t>(c & 0xFF));
    value.data.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
  };
  for (const std::wstring& item : items) {
    for (wchar_t c : item) put(static_cast<unsigned>(c));
    put(0);
  }
  if (type == kRegMultiSz) put(0);
  return value;
}

RegistryValue DwordValue(const std::wstring& name, std::uint32_t number) {
  RegistryValue value;
  value.name = name;
  value.type = kRegDword;
  for (int shift = 0; shift < 32; shift += 8) {
    value.data.push_back(static_cast<std::uint8_t>((number >> shift) & 0xFF));
  }
  return value;
}

std::vector<std::wstring> TextItems(const RegistryValue& value) {
  std::vector<std::wstring> items;
  if (value.type != kRegSz && value.type != kRegExpandSz && value.type != kRegMultiSz) {
    return items;
  }
  std::wstring item;
  for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
    const wchar_t c = static_cast<wchar_t>(value.data[i] | (value.data[i + 1] << 8));
    if (c != L'\0') {
      item += c;
      continue;
    }
    if (item.empty() && value.type == kRegMultiSz) break;  // the list's end
    items.push_back(item);
    item.clear();
    if (value.type != kRegMultiSz) break;
  }
  if (!item.empty()) items.push_back(item);  // text stored without its NUL
  return items;
}

}  // namespace nubora
