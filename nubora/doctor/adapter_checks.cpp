#include "netconfig/discovery.h"
#include "netconfig/log_lines.h"
#include "nubora/doctor/checks.h"
#include "nubora/runtext/run_text.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {

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
    if (record.dhcp != 0 || adapter == nullptr) continue;
    for (const AdapterAddress& address : adapter->unicast) {
      if (!address.present || !IsLinkLocal(address.ipv4)) continue;
      const InterfaceKey* key = reading.KeyOf(adapter->name);
      const long long dhcp = key != nullptr ? key->enableDhcp : -1;
      const std::wstring cause = dhcp == 1 ? L"DHCP is left on: the static settings are not applied"
                                 : dhcp == 0
                                     ? L"a duplicate address: the static address was refused"
                                     : L"DHCP left on, or a duplicate address";
      Finding finding;
      finding.id = "apipa";
      finding.section = reading.Section(r);
      finding.summary =
          L"\"" + adapter->friendlyName + L"\" carries " + Dotted(address.ipv4) + L": " + cause;
      finding.evidence = {{"connection", adapter->friendlyName},
                          {"interface", std::wstring(adapter->name.begin(), adapter->name.end())},
                          {"address", Dotted(address.ipv4)}};
      finding.fix = dhcp == 0 ? L"find the other holder of the section's address (arp -a), "
                                L"then restart NuboraService (net start NuboraService)"
                              : L"restart NuboraService (net start NuboraService); nubora "
                                L"status tells what the last boot did";
      out.push_back(finding);
    }
  }
}

// The adapter carrying an address, and the section naming that adapter.
void Locate(const Reading& reading, std::uint32_t ipv4, std::wstring& section,
            const AdapterInfo*& carrier) {
  carrier = nullptr;
  for (const AdapterInfo& adapter : reading.adapters) {
    for (const AdapterAddress& address : adapter.unicast) {
      if (address.present && address.ipv4 == ipv4) carrier = &adapter;
    }
  }
  for (std::size_t r = 0; carrier != nullptr && r < reading.ini.records->size(); ++r) {
    if (AdapterHasMac(*carrier, (*reading.ini.records)[r].mac)) {
      section = reading.Section(r);
      return;
    }
  }
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
  std::vector<AddressDetection> later;
  const bool tentative = std::any_of(first.begin(), first.end(), [](const AddressDetection& a) {
    return a.state == AddressState::kTentative;
  });
  if (tentative) {
    machine.clock->Sleep(kTentativeRecheckMs);
    machine.addresses->Read(later);
  }
  for (const AddressDetection& address : first) {
    bool stuck = false;
    for (const AddressDetection& again : later) {
      stuck = stuck || (again.ipv4 == address.ipv4 && again.state == AddressState::kTentative);
    }
    if (address.state != AddressState::kDuplicate &&
        !(address.state == AddressState::kTentative && stuck)) {
      continue;
    }
    std::wstring section;
    const AdapterInfo* carrier = nullptr;
    Locate(reading, address.ipv4, section, carrier);
    const bool duplicate = address.state == AddressState::kDuplicate;
    Finding finding;
    finding.id = "duplicate-address";
    finding.severity = duplicate ? Severity::kError : Severity::kWarning;
    finding.section = section;
    finding.summary =
        Dotted(address.ipv4) +
        (duplicate ? L" is a duplicate: another machine holds it, and Windows "
                     L"never tries it again"
                   : L" is still tentative " + Number(kTentativeRecheckMs / 1000) + L" s later");
    finding.fix =
        L"find the other holder (arp -a from a neighbour), free the address, then "
        L"restart NuboraService (net start NuboraService)";
    if (carrier != nullptr) {
      finding.evidence.push_back({"connection", carrier->friendlyName});
      finding.evidence.push_back(
          {"interface", std::wstring(carrier->name.begin(), carrier->name.end())});
    }
    finding.evidence.push_back({"address", Dotted(address.ipv4)});
    out.push_back(finding);
  }
}

}  // namespace nubora
