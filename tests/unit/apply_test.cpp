// Change detection and the snapshot it compares with, on what a machine's
// adapters file cannot express.
#include "netconfig/apply.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "netconfig/discovery.h"

namespace nubora {
namespace {

AdapterConfig Record(std::vector<std::wstring> ips, const wchar_t* mask, const wchar_t* gateway,
                     std::vector<std::wstring> dns, bool withDns = true) {
  AdapterConfig record;
  record.ipList = std::make_unique<AddressList>(std::move(ips));
  if (withDns) record.dnsList = std::make_unique<AddressList>(std::move(dns));
  PlaceText(record.mask, mask);
  PlaceText(record.gateway, gateway);
  const std::uint8_t mac[kMacLength] = {0x52, 0x54, 0x00, 0x12, 0x34, 0x56};
  std::copy(mac, mac + kMacLength, record.mac);
  return record;
}

TEST(ChangeDetection, RulesInOrder) {
  const wchar_t* mask = L"255.255.255.0";
  auto base = [&] {
    return Record({L"10.0.0.5", L"10.0.0.6"}, mask, L"10.0.0.1", {L"10.0.0.2", L"10.0.0.3"});
  };
  struct Case {
    const char* what;
    AdapterConfig desired;
    bool hasSnapshot;
    AdapterConfig snapshot;
    int address;
    int dns;
  };
  Case cases[] = {
      // clang-format off
      {"equal", base(), true, base(), 0, 0},
      {"no snapshot", base(), false, base(), 1, 1},
      {"other order", Record({L"10.0.0.6", L"10.0.0.5"}, mask, L"10.0.0.1", {L"10.0.0.3", L"10.0.0.2"}), true, base(), 0, 0},
      {"mask differs in form only", Record({L"10.0.0.5", L"10.0.0.6"}, L"255.255.255.000", L"10.0.0.1", {L"10.0.0.2", L"10.0.0.3"}), true, base(), 1, 0},
      {"blank gateway against none", Record({L"10.0.0.5"}, mask, L" ", {L"10.0.0.2"}), true, Record({L"10.0.0.5"}, mask, L"", {L"10.0.0.2"}), 0, 0},
      {"blank gateway against a gateway", Record({L"10.0.0.5"}, mask, L" ", {L"10.0.0.2"}), true, Record({L"10.0.0.5"}, mask, L"10.0.0.1", {L"10.0.0.2"}), 1, 0},
      {"duplicate desired entries", Record({L"10.0.0.5", L"10.0.0.5"}, mask, L"10.0.0.1", {L"10.0.0.2", L"10.0.0.2"}), true, base(), 0, 0},
      {"leading blank", Record({L"10.0.0.5", L" 10.0.0.6"}, mask, L"10.0.0.1", {L"10.0.0.2", L" 10.0.0.3"}), true, base(), 1, 1},
      {"size differs", Record({L"10.0.0.5"}, mask, L"10.0.0.1", {L"10.0.0.2"}), true, base(), 1, 1},
      {"no desired dns list", Record({L"10.0.0.5", L"10.0.0.6"}, mask, L"10.0.0.1", {}, false), true, base(), 0, 1},
      // clang-format on
  };
  for (Case& c : cases) {
    AdapterConfigList current;
    if (c.hasSnapshot) {
      // A snapshot of another adapter first, and a later one of the same
      // adapter, must both be passed over.
      AdapterConfig other = base();
      other.mac[0] = 0x02;
      other.ipList->clear();
      current.push_back(std::move(other));
      current.push_back(std::move(c.snapshot));
      current.push_back(Record({L"192.0.2.99"}, L"255.0.0.0", L"", {}));
    }
    EXPECT_EQ(IsAddressConfigChanged(c.desired, current), c.address) << c.what;
    EXPECT_EQ(IsDnsConfigChanged(c.desired, current), c.dns) << c.what;
  }
}

}  // namespace
}  // namespace nubora
