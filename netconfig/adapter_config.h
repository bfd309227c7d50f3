#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nubora {

constexpr std::size_t kAddressTextCapacity = 30;  // mask, gateway, address texts
constexpr std::size_t kAdapterNameCapacity = 64;
constexpr std::size_t kMacLength = 6;

// Dotted IPv4 texts, in order; items are neither validated nor trimmed.
using AddressList = std::vector<std::wstring>;

// The IPv4 configuration of one adapter, desired or current; `mac` is its
// identity. A missing list (null) is distinct from a present empty one.
struct AdapterConfig {
  std::int32_t dhcp = 0;
  std::unique_ptr<AddressList> ipList;
  std::unique_ptr<AddressList> dnsList;
  wchar_t mask[kAddressTextCapacity] = {};
  wchar_t gateway[kAddressTextCapacity] = {};
  std::uint8_t mac[kMacLength] = {};
  wchar_t adapterName[kAdapterNameCapacity] = {};
};

// Records held by value; appending moves the record's lists into the stored
// element, and destroying the list releases every record's lists.
using AdapterConfigList = std::vector<AdapterConfig>;

// Places `text` into a fixed field of `capacity` characters, NUL after the text
// to the end of the field. Returns false when the text does not fit; the field
// then holds the text cut to capacity - 1 characters.
bool PlaceText(wchar_t* field, std::size_t capacity, const wchar_t* text);

template <std::size_t N>
bool PlaceText(wchar_t (&field)[N], const wchar_t* text) {
  return PlaceText(field, N, text);
}

// Resets a record to the zero state; lists it still owns are released, lists
// already moved into a stored element are not touched.
void ResetToZero(AdapterConfig& record);

bool SameMac(const std::uint8_t (&a)[kMacLength], const std::uint8_t (&b)[kMacLength]);

// The first record of `list` with the given MAC, or null.
const AdapterConfig* FindByMac(const AdapterConfigList& list,
                               const std::uint8_t (&mac)[kMacLength]);

}  // namespace nubora
