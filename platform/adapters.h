#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nubora {

// One socket address of an adapter list entry; `present` is false where the
// platform gave the entry without an address.
struct AdapterAddress {
  bool present = false;
  std::uint32_t ipv4 = 0;  // network byte order
  std::uint8_t prefixLength = 0;
};

// What the configuration run reads of one adapter the platform lists.
struct AdapterInfo {
  std::string name;           // permanent name, narrow
  std::wstring friendlyName;  // connection name
  std::uint8_t physical[8] = {};
  std::vector<AdapterAddress> unicast;
  std::vector<AdapterAddress> dns;
  std::vector<AdapterAddress> gateways;
};

// Enumerates the adapters that carry IPv4.
class AdapterSource {
 public:
  virtual ~AdapterSource() = default;
  // 0 with `adapters` filled in platform order, or the platform's error code.
  virtual unsigned long Enumerate(std::vector<AdapterInfo>& adapters) = 0;
};

}  // namespace nubora
