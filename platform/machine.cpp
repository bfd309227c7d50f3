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

namespace {

// Little-endian, as the registry keeps its numbers.
RegistryValue NumberValue(const std::wstring& name, unsigned long type, std::uint64_t number,
                          int bytes) {
  RegistryValue value;
  value.name = name;
  value.type = type;
  for (int shift = 0; shift < 8 * bytes; shift += 8) {
    value.data.push_back(static_cast<std::uint8_t>((number >> shift) & 0xFF));
  }
  return value;
}

}  // namespace

RegistryValue DwordValue(const std::wstring& name, std::uint32_t number) {
  return NumberValue(name, kRegDword, number, 4);
}

RegistryValue QwordValue(const std::wstring& name, std::uint64_t number) {
  return NumberValue(name, kRegQword, number, 8);
}

bool NumberOf(const RegistryValue& value, std::uint64_t& number) {
  const std::size_t size = value.type == kRegDword ? 4 : value.type == kRegQword ? 8 : 0;
  if (size == 0 || value.data.size() != size) return false;
  number = 0;
  for (std::size_t i = size; i-- > 0;) number = number << 8 | value.data[i];
  return true;
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
