#include "netconfig/discovery.h"
#include "netconfig/log_lines.h"
#include "nubora/doctor/checks.h"
#include "nubora/runtext/run_text.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

// The present device carrying `mac` that the adapter list leaves out.
const NetworkDevice* UnlistedDevice(const Reading& reading, const std::uint8_t (&mac)[kMacLength]) {
  for (const NetworkDevice& device : reading.devices) {
    const bool known = std::any_of(device.physical, device.physical + kMacLength,
                                   [](std::uint8_t byte) { return byte != 0; });
    if (known && std::equal(mac, mac + kMacLength, device.physical)) return &device;
  }
  return nullptr;
}

// A section's adapter that is there but disabled, or has IPv4 unbound.
Finding AdapterNotInUse(const NetworkDevice& device, const std::wstring& section,
                        const AdapterConfig& record, const MachinePlatform& machine) {
  const std::wstring name =
      TextOf(*machine.registry, kConnectionsKey + device.guid + L"\\Connection", L"Name");
  const std::wstring quoted = name.empty() ? L"" : L" (\"" + name + L"\")";
  Finding finding;
  finding.id = "adapter-disabled";
  finding.section = section;
  finding.summary = L"the adapter with MAC " + MacText(record.mac) + quoted +
                    (device.disabled ? L" is disabled" : L" has IPv4 unbound") +
                    L": a boot waits " + Number(kDiscoveryWaitSeconds) +
                    L" s for it, then skips it";
  if (!name.empty()) finding.evidence.push_back({"connection", name});
  const std::wstring description = DriverDescription(*machine.registry, device.guid);
  if (!description.empty()) finding.evidence.push_back({"description", description});
  finding.evidence.push_back({"interface", device.guid});
  finding.evidence.push_back({"mac", MacText(record.mac)});
  finding.fix =
      device.disabled
          ? (name.empty()
                 ? L""
                 : L"netsh interface set interface name=\"" + name + L"\" admin=enabled, or ") +
                std::wstring(L"enable it in Device Manager (devmgmt.msc, Network adapters)")
          : L"bind IPv4 to it: ncpa.cpl, the adapter's Properties, tick Internet Protocol "
            L"Version 4 (TCP/IPv4)";
  return finding;
}

}  // namespace

void CheckGhostsAndMacs(const Reading& reading, const MachinePlatform& machine,
                        std::vector<Finding>& out) {
  if (!reading.devicesKnown) {
    Finding finding;
    finding.id = "ghost-address";
    finding.severity = Severity::kInfo;
    finding.summary = L"not looked for: the present network devices cannot be listed (" +
                      ErrorText(reading.devicesError) + L")";
    finding.fix = L"run nubora doctor on the machine itself, as an administrator";
    out.push_back(finding);
  }
  std::size_t keeping = 0;
  for (const InterfaceKey& key : reading.keys) {
    if (key.present || !key.KeepsSettings()) continue;
    ++keeping;
    if (!reading.devicesKnown) continue;
    for (std::size_t r = 0; r < reading.ini.records->size(); ++r) {
      const AdapterConfig& record = (*reading.ini.records)[r];
      if (record.dhcp != 0 || !record.ipList) continue;
      for (const std::wstring& address : key.addresses) {
        if (std::find(record.ipList->begin(), record.ipList->end(), address) ==
            record.ipList->end()) {
          continue;
        }
        const std::wstring name =
            TextOf(*machine.registry, kConnectionsKey + key.guid + L"\\Connection", L"Name");
        const std::wstring description = DriverDescription(*machine.registry, key.guid);
        Finding finding;
        finding.id = "ghost-address";
        finding.section = reading.Section(r);
        finding.summary = address + L" is kept by an adapter that is not present" +
                          (name.empty() ? L"" : L" (\"" + name + L"\")");
        finding.fix = L"nubora doctor --fix ghost-addresses (it writes a .reg backup first)";
        finding.interfaceGuid = key.guid;
        if (!name.empty()) finding.evidence.push_back({"connection", name});
        if (!description.empty()) finding.evidence.push_back({"description", description});
        finding.evidence.push_back({"interface", key.guid});
        finding.evidence.push_back({"key", L"HKLM\\" + (kInterfacesKey + key.guid)});
        finding.evidence.push_back({"address", address});
        out.push_back(finding);
      }
    }
  }
  for (std::size_t r = 0; r < reading.ini.records->size(); ++r) {
    const AdapterConfig& record = (*reading.ini.records)[r];
    if (reading.ini.sameMacAs[r] != 0 || AdapterWithMac(reading.adapters, record.mac)) continue;
    if (const NetworkDevice* device = UnlistedDevice(reading, record.mac)) {
      out.push_back(AdapterNotInUse(*device, reading.Section(r), record, machine));
      continue;
    }
    Finding finding;
    finding.id = "mac-absent";
    finding.section = reading.Section(r);
    finding.summary = L"no present adapter has MAC " + MacText(record.mac) + L": a boot waits " +
                      Number(kDiscoveryWaitSeconds) + L" s for it, then skips it";
    finding.evidence = {{"mac", MacText(record.mac)}};
    finding.fix = L"attach the adapter with this MAC, or set the new adapter's MAC in the section";
    if (keeping > 0) {
      finding.evidence.push_back(
          {"hint", Number(keeping) + L" non-present adapter(s) keep settings: a driver change "
                                     L"may have replaced this one"});
    }
    out.push_back(finding);
  }
}

void CheckApipa(const Reading& reading, std::vector<Finding>& out) {
  for (std::size_t r = 0; r < reading.ini.records->size(); ++r) {
    const AdapterConfig& record = (*reading.ini.records)[r];
    const AdapterInfo* adapter = AdapterWithMac(reading.adapters, record.mac);
    if (adapter == nullptr) continue;
    for (const AdapterAddress& address : adapter->unicast) {
      if (!address.present || !IsLinkLocal(address.ipv4)) continue;
      Finding finding;
      finding.section = reading.Section(r);
      finding.evidence = {{"connection", adapter->friendlyName},
                          {"interface", std::wstring(adapter->name.begin(), adapter->name.end())},
                          {"address", Dotted(address.ipv4)}};
      if (record.dhcp != 0) {
        finding.id = "no-dhcp-lease";
        finding.severity = Severity::kWarning;
        finding.summary = L"\"" + adapter->friendlyName + L"\" carries " + Dotted(address.ipv4) +
                          L": no DHCP server gave it a lease";
        finding.fix = L"ipconfig /renew \"" + adapter->friendlyName +
                      L"\"; if it still gets none, check the DHCP server and that this "
                      L"network reaches it";
        out.push_back(finding);
        continue;
      }
      const InterfaceKey* key = reading.KeyOf(adapter->name);
      const long long dhcp = key != nullptr ? key->enableDhcp : -1;
      const std::wstring cause = dhcp == 1 ? L"DHCP is left on: the static settings are not applied"
                                 : dhcp == 0
                                     ? L"a duplicate address: the static address was refused"
                                     : L"DHCP left on, or a duplicate address";
      finding.id = "apipa";
      finding.summary =
          L"\"" + adapter->friendlyName + L"\" carries " + Dotted(address.ipv4) + L": " + cause;
      finding.fix = dhcp == 0 ? L"find the other holder of the section's address (arp -a), "
                                L"then restart NuboraService (net start NuboraService)"
                              : L"restart NuboraService (net start NuboraService); nubora "
                                L"status tells what the last boot did";
      out.push_back(finding);
    }
  }
}

// An address of an adapter a section's MAC finds.
struct SectionAddress {
  std::uint32_t ipv4 = 0;
  const AdapterInfo* carrier = nullptr;
  std::wstring section;
};

std::vector<SectionAddress> SectionAddresses(const Reading& reading) {
  std::vector<SectionAddress> found;
  for (std::size_t r = 0; r < reading.ini.records->size(); ++r) {
    const AdapterInfo* adapter = AdapterWithMac(reading.adapters, (*reading.ini.records)[r].mac);
    for (std::size_t a = 0; adapter != nullptr && a < adapter->unicast.size(); ++a) {
      const std::uint32_t ipv4 = adapter->unicast[a].ipv4;
      const bool seen = std::any_of(found.begin(), found.end(),
                                    [ipv4](const SectionAddress& s) { return s.ipv4 == ipv4; });
      if (adapter->unicast[a].present && !seen)
        found.push_back({ipv4, adapter, reading.Section(r)});
    }
  }
  return found;
}

// Detection takes about a second: an address still tentative this long after
// is stuck.
constexpr unsigned long kTentativeRecheckMs = 3000;

void CheckDuplicates(const Reading& reading, const MachinePlatform& machine,
                     std::vector<Finding>& out) {
  std::vector<AddressDetection> first;
  const unsigned long error = machine.addresses->Read(first);
  if (error != 0) {
    Finding finding;
    finding.id = "duplicate-address";
    finding.severity = Severity::kInfo;
    finding.summary = L"not looked for: the addresses' detection states cannot be read (" +
                      ErrorText(error) + L")";
    finding.fix = L"none on Windows XP and 2003, which keep no such table";
    out.push_back(finding);
    return;
  }
  // Only the sections' adapters count: another adapter's address stands in
  // no section's way, and is not waited for.
  const std::vector<SectionAddress> wanted = SectionAddresses(reading);
  const auto Wanted = [&wanted](std::uint32_t ipv4) -> const SectionAddress* {
    for (const SectionAddress& address : wanted) {
      if (address.ipv4 == ipv4) return &address;
    }
    return nullptr;
  };
  std::vector<AddressDetection> later;
  if (std::any_of(first.begin(), first.end(), [&Wanted](const AddressDetection& a) {
        return a.state == AddressState::kTentative && Wanted(a.ipv4) != nullptr;
      })) {
    machine.clock->Sleep(kTentativeRecheckMs);
    machine.addresses->Read(later);
  }
  for (const AddressDetection& address : first) {
    const SectionAddress* wantedAddress = Wanted(address.ipv4);
    if (wantedAddress == nullptr) continue;
    // A tentative address is judged by its state a look later; gone then, it is not told.
    AddressState state = address.state;
    if (state == AddressState::kTentative) {
      state = AddressState::kInvalid;
      for (const AddressDetection& again : later) {
        if (again.ipv4 == address.ipv4) state = again.state;
      }
    }
    if (state != AddressState::kDuplicate && state != AddressState::kTentative) continue;
    const bool duplicate = state == AddressState::kDuplicate;
    const AdapterInfo& carrier = *wantedAddress->carrier;
    Finding finding;
    finding.id = "duplicate-address";
    finding.severity = duplicate ? Severity::kError : Severity::kWarning;
    finding.section = wantedAddress->section;
    finding.summary =
        Dotted(address.ipv4) +
        (duplicate ? L" is a duplicate: another machine holds it, and Windows "
                     L"never tries it again"
                   : L" is still tentative " + Number(kTentativeRecheckMs / 1000) + L" s later");
    finding.fix =
        L"find the other holder (arp -a from a neighbour), free the address, then "
        L"restart NuboraService (net start NuboraService)";
    finding.evidence = {{"connection", carrier.friendlyName},
                        {"interface", std::wstring(carrier.name.begin(), carrier.name.end())},
                        {"address", Dotted(address.ipv4)}};
    out.push_back(finding);
  }
}

}  // namespace nubora
