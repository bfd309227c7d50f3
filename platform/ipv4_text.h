#pragma once

#include <cstdint>

namespace nubora {

// On-link prefix length to a mask in network byte order; false beyond 32.
bool LengthToIpv4Mask(unsigned long prefixLength, std::uint32_t& mask);

// Dotted-decimal narrow text of an address in network byte order, in storage
// owned by the platform that stays valid until the next call on the thread.
const char* Ipv4ToDotted(std::uint32_t address);

}  // namespace nubora
