#pragma once

#include <cstdint>

#include "netconfig/adapter_config.h"

namespace nubora {

// Every command line the apply stage runs starts so.
constexpr wchar_t kNetshCommandPrefix[] = L"c:\\windows\\system32\\netsh.exe interface ip ";

// Brings one matched adapter to its desired configuration with netsh command
// lines, issuing only the parts that differ from its first snapshot. Always 0.
std::int32_t ApplyAdapterConfig(const AdapterConfig& desired, const AdapterConfigList& current);

// 1 when the addresses, mask or gateway must be applied, 0 when unchanged.
std::int32_t IsAddressConfigChanged(const AdapterConfig& desired, const AdapterConfigList& current);

// 1 when the DNS servers must be applied, 0 when unchanged.
std::int32_t IsDnsConfigChanged(const AdapterConfig& desired, const AdapterConfigList& current);

}  // namespace nubora
