#pragma once

#include <cstdint>

#include "netconfig/adapter_config.h"
#include "platform/adapters.h"

namespace nubora {

// Matches every desired record to an adapter by MAC, retrying while some are
// missing, writes the matched adapters' connection names into the records and
// applies each matched record against the snapshots taken. Always 0.
std::int32_t ConfigIpAddresses(AdapterConfigList& desired);

// Appends a snapshot of one adapter's current IPv4 configuration to `current`.
void getCurrentConfig(const AdapterInfo& adapter, AdapterConfigList& current);

constexpr unsigned long kDiscoveryPauseMs = 30000;
constexpr int kDiscoveryMaxRetries = 7;

}  // namespace nubora
