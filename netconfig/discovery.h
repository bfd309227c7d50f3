#pragma once

#include <cstdint>
#include <vector>

#include "netconfig/adapter_config.h"
#include "platform/adapters.h"

namespace nubora {

// Matches every desired record to an adapter by MAC, retrying while some are
// missing, writes the matched adapters' connection names into the records and
// applies each matched record against the snapshots taken. Always 0.
std::int32_t ConfigIpAddresses(AdapterConfigList& desired);

// Whether the adapter carries `mac`: its first six physical bytes, the rest
// of a longer hardware address not looked at.
bool AdapterHasMac(const AdapterInfo& adapter, const std::uint8_t (&mac)[kMacLength]);
// The first adapter in platform order that carries `mac`, or null: the one a
// run configures for a record.
const AdapterInfo* AdapterWithMac(const std::vector<AdapterInfo>& adapters,
                                  const std::uint8_t (&mac)[kMacLength]);

// Appends a snapshot of one adapter's current IPv4 configuration to `current`.
void getCurrentConfig(const AdapterInfo& adapter, AdapterConfigList& current);

constexpr unsigned long kDiscoveryPauseMs = 30000;
constexpr int kDiscoveryMaxRetries = 7;
// The most a run waits for a missing adapter: every retry's pause.
constexpr unsigned long kDiscoveryWaitSeconds = kDiscoveryPauseMs / 1000 * kDiscoveryMaxRetries;

}  // namespace nubora
