#include "netconfig/discovery.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "fakes.h"

namespace nubora {
namespace {

using testing::DataPath;
using testing::MakeAdapter;
using testing::ReadFile;

AdapterConfig DhcpRecord(std::uint8_t last) {
  AdapterConfig record;
  record.dhcp = 1;
  const std::uint8_t mac[kMacLength] = {0x00, 0x00, 0x5E, 0x00, 0x53, last};
  std::copy(mac, mac + kMacLength, record.mac);
  return record;
}

AdapterInfo Lan() {
  return MakeAdapter(L"lan0", {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}, {"192.0.2.10"}, 24, "192.0.2.1",
                     {"198.51.100.53"});
}

AdapterInfo Mgmt() {
  return MakeAdapter(L"mgmt0", {0x00, 0x00, 0x5E, 0x00, 0x53, 0x02}, {}, 0, "", {});
}

std::size_t Count(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

TEST(ConfigIpAddresses, AdapterAppearingAtTheThirdPass) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  platform.adapters.passes = {{0, {Lan()}}, {0, {Lan()}}, {0, {Lan(), Mgmt()}}};
  AdapterConfigList desired;
  desired.push_back(DhcpRecord(0x01));
  desired.push_back(DhcpRecord(0x02));
  EXPECT_EQ(ConfigIpAddresses(desired), 0);
  EXPECT_EQ(log.Text(), ReadFile(DataPath("expected/discovery_third_pass.log")));
  EXPECT_EQ(platform.clock.sleeps, (std::vector<unsigned long>{30000, 30000}));
  EXPECT_STREQ(desired[1].adapterName, L"mgmt0");
}

TEST(ConfigIpAddresses, AdapterThatNeverAppearsIsGivenUpAfterSevenRetries) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  platform.adapters.passes = {{0, {Lan()}}};
  AdapterConfigList desired;
  desired.push_back(DhcpRecord(0x09));
  desired.push_back(DhcpRecord(0x01));
  ConfigIpAddresses(desired);
  const std::string text = log.Text();
  EXPECT_EQ(Count(text, "cannot find match adpater mac=00-00-5e-00-53-09\n"), 8u);
  for (int retry = 1; retry <= 7; ++retry) {
    EXPECT_EQ(Count(text, "retrycount=" + std::to_string(retry) + "\n"), 1u) << retry;
  }
  EXPECT_EQ(Count(text, "retrycount="), 7u);
  EXPECT_EQ(platform.adapters.calls, 8u);
  EXPECT_EQ(platform.clock.sleeps.size(), 7u);
  const std::string giveUp = "cannot find all matched network adapters , configure finded\n";
  ASSERT_EQ(Count(text, giveUp), 1u);
  // Only the adapter that was found is configured, after the give-up line.
  EXPECT_GT(text.find("name=\"lan0\" dhcp"), text.find(giveUp));
  EXPECT_EQ(platform.events.size(), 1u);
}

TEST(ConfigIpAddresses, FailedEnumerationAfterAPartialMatchAppliesNothing) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  platform.adapters.passes = {{0, {Lan()}}, {232, {}}};
  AdapterConfigList desired;
  desired.push_back(DhcpRecord(0x01));
  desired.push_back(DhcpRecord(0x02));
  EXPECT_EQ(ConfigIpAddresses(desired), 0);
  const std::string text = log.Text();
  const std::string failed = "Call to GetAdaptersAddresses failed.\n";
  ASSERT_GE(text.size(), failed.size());
  EXPECT_EQ(text.substr(text.size() - failed.size()), failed);
  EXPECT_TRUE(platform.events.empty());
  EXPECT_STREQ(desired[0].adapterName, L"lan0");
}

TEST(ConfigIpAddresses, ConnectionNameTooLongIsNeverConfigured) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  AdapterInfo adapter = Lan();
  adapter.friendlyName = std::wstring(64, L'n');
  platform.adapters.passes = {{0, {adapter}}};
  AdapterConfigList desired;
  desired.push_back(DhcpRecord(0x01));
  ConfigIpAddresses(desired);
  EXPECT_NE(log.Text().find("adapter name too long , ignore adapter mac=00-00-5e-00-53-01\n"),
            std::string::npos);
  EXPECT_TRUE(platform.events.empty());
  EXPECT_TRUE(platform.clock.sleeps.empty());  // found, so no waiting for it
}

TEST(GetCurrentConfig, SnapshotTakesLastConvertibleMaskAndFirstGateway) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  AdapterInfo adapter =
      MakeAdapter(L"lan0", {1, 2, 3, 4, 5, 6, 7, 8}, {"192.0.2.10", "10.1.2.3"}, 32, "", {});
  adapter.unicast[1].prefixLength = 8;
  adapter.unicast.push_back(adapter.unicast[0]);
  adapter.unicast.back().prefixLength = 40;  // does not convert: keeps the earlier mask
  AdapterConfigList current;
  getCurrentConfig(adapter, current);
  ASSERT_EQ(current.size(), 1u);
  const AdapterConfig& snapshot = current[0];
  EXPECT_EQ(*snapshot.ipList, (AddressList{L"192.0.2.10", L"10.1.2.3", L"192.0.2.10"}));
  ASSERT_TRUE(snapshot.dnsList);
  EXPECT_TRUE(snapshot.dnsList->empty());
  EXPECT_STREQ(snapshot.mask, L"255.0.0.0");
  for (std::size_t i = std::wcslen(snapshot.mask); i < kAddressTextCapacity; ++i) {
    EXPECT_EQ(snapshot.mask[i], L'\0') << i;
  }
  EXPECT_STREQ(snapshot.gateway, L"");
  EXPECT_EQ(snapshot.mac[5], 6);

  // A first gateway entry without an address drops the snapshot.
  adapter.gateways.push_back(AdapterAddress{});
  getCurrentConfig(adapter, current);
  EXPECT_EQ(current.size(), 1u);
}

}  // namespace
}  // namespace nubora
