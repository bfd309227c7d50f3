#include "netconfig/discovery.h"

#include <cwchar>
#include <vector>

#include "netconfig/apply.h"
#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "platform/code_page.h"
#include "platform/ipv4_text.h"
#include "platform/platform.h"

namespace nubora {
namespace {

void LogMac(const wchar_t* prefix, const std::uint8_t (&mac)[kMacLength]) {
  LogValue(prefix, MacText(mac).c_str());
}

// Dotted text of an address in a cleared buffer of the address capacity.
void DottedText(std::uint32_t address, wchar_t (&buffer)[kAddressTextCapacity]) {
  std::wmemset(buffer, L'\0', kAddressTextCapacity);
  AnsiToWide(Ipv4ToDotted(address), buffer, kAddressTextCapacity);
}

// Matches each desired record against one enumeration; the count of matches.
std::size_t MatchPass(AdapterConfigList& desired, const std::vector<AdapterInfo>& adapters,
                      AdapterConfigList& current) {
  std::size_t found = 0;
  for (AdapterConfig& record : desired) {
    const AdapterInfo* match = AdapterWithMac(adapters, record.mac);
    if (match == nullptr) {
      LogMac(kNotFoundPrefix, record.mac);
      continue;
    }
    LogValue(kAdapterFoundPrefix, match->friendlyName.c_str());
    LogFlush();
    ++found;
    if (match->friendlyName.size() >= kAdapterNameCapacity) {
      // netsh needs the whole connection name; a cut one could name another
      // connection.
      LogMac(kNameTooLongPrefix, record.mac);
      continue;
    }
    PlaceText(record.adapterName, match->friendlyName.c_str());
    getCurrentConfig(*match, current);
  }
  return found;
}

}  // namespace

bool AdapterHasMac(const AdapterInfo& adapter, const std::uint8_t (&mac)[kMacLength]) {
  for (std::size_t i = 0; i < kMacLength; ++i) {
    if (adapter.physical[i] != mac[i]) return false;
  }
  return true;
}

const AdapterInfo* AdapterWithMac(const std::vector<AdapterInfo>& adapters,
                                  const std::uint8_t (&mac)[kMacLength]) {
  for (const AdapterInfo& adapter : adapters) {
    if (AdapterHasMac(adapter, mac)) return &adapter;
  }
  return nullptr;
}

void getCurrentConfig(const AdapterInfo& adapter, AdapterConfigList& current) {
  std::unique_ptr<AddressList> addresses(new AddressList);
  std::unique_ptr<AddressList> servers(new AddressList);
  LogWideLine(kSnapshotLine);
  // The adapter's own name goes to the log as the bytes it is.
  LogNarrow("%ls%s\n", kSnapshotNamePrefix, adapter.name.c_str());

  AdapterConfig record;
  for (std::size_t i = 0; i < kMacLength; ++i) record.mac[i] = adapter.physical[i];

  wchar_t text[kAddressTextCapacity];
  for (const AdapterAddress& entry : adapter.unicast) {
    if (!entry.present) break;
    DottedText(entry.ipv4, text);
    addresses->emplace_back(text);
    LogValue(kSnapshotIpPrefix, text);
    std::uint32_t mask = 0;
    if (LengthToIpv4Mask(entry.prefixLength, mask)) {
      DottedText(mask, text);
      PlaceText(record.mask, text);
      LogValue(kSnapshotMaskPrefix, text);
    }
  }
  record.ipList = std::move(addresses);

  for (const AdapterAddress& entry : adapter.dns) {
    if (!entry.present) break;
    DottedText(entry.ipv4, text);
    servers->emplace_back(text);
    LogValue(kSnapshotDnsPrefix, text);
  }
  record.dnsList = std::move(servers);

  if (!adapter.gateways.empty()) {
    const AdapterAddress& first = adapter.gateways.front();
    if (!first.present) return;  // the snapshot and its lists are released here
    DottedText(first.ipv4, text);
    PlaceText(record.gateway, text);
    LogValue(kSnapshotGatewayPrefix, text);
  }
  current.push_back(std::move(record));
}

std::int32_t ConfigIpAddresses(AdapterConfigList& desired) {
  Platform& platform = CurrentPlatform();
  AdapterConfigList current;
  int retries = 0;
  LogWideLine(kDiscoveryLine);

  for (;;) {
    std::vector<AdapterInfo> adapters;
    if (platform.adapters->Enumerate(adapters) != 0) {
      LogWideLine(kEnumerationFailedLine);
      return 0;
    }
    const std::size_t found = MatchPass(desired, adapters, current);
    if (found == desired.size()) break;
    if (retries >= kDiscoveryMaxRetries) {
      LogWideLine(kGaveUpLine);
      break;
    }
    platform.clock->Sleep(kDiscoveryPauseMs);
    ++retries;
    LogWideLine(kRetryFormat, retries);
  }

  for (const AdapterConfig& record : desired) {
    if (record.adapterName[0] != L'\0') ApplyAdapterConfig(record, current);
  }
  return 0;
}

}  // namespace nubora
