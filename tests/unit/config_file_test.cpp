#include "netconfig/config_file.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "fakes.h"

namespace nubora {
namespace {

using testing::DataPath;
using testing::ReadFile;
using testing::WideDataPath;

std::vector<unsigned> Bytes(const AdapterConfig& record) {
  return std::vector<unsigned>(record.mac, record.mac + kMacLength);
}

TEST(ReadConfigFile, FourSectionExampleLogsEveryStepAndKeepsTwoRecords) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  auto list = ReadConfigFile(WideDataPath("config/four_sections.ini").c_str());
  EXPECT_EQ(log.Text(), ReadFile(DataPath("expected/four_sections_reader.log")));

  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 2u);
  const AdapterConfig& lan = (*list)[0];
  EXPECT_EQ(lan.dhcp, 0);
  EXPECT_EQ(*lan.ipList, (AddressList{L"192.0.2.10", L"192.0.2.11"}));
  EXPECT_EQ(*lan.dnsList, (AddressList{L"198.51.100.53", L"198.51.100.54"}));
  EXPECT_STREQ(lan.mask, L"255.255.255.0");
  EXPECT_STREQ(lan.gateway, L"192.0.2.1");
  EXPECT_EQ(Bytes(lan), (std::vector<unsigned>{0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}));
  EXPECT_EQ(lan.adapterName[0], L'\0');

  const AdapterConfig& mgmt = (*list)[1];
  EXPECT_EQ(mgmt.dhcp, 1);
  EXPECT_FALSE(mgmt.ipList);
  EXPECT_FALSE(mgmt.dnsList);
  EXPECT_STREQ(mgmt.mask, L"");
  EXPECT_STREQ(mgmt.gateway, L"");
  EXPECT_EQ(Bytes(mgmt), (std::vector<unsigned>{0x00, 0x00, 0x5E, 0x00, 0x53, 0x02}));
}

TEST(ReadConfigFile, OddSectionsAreDroppedOrKeptAsTheKeysSay) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  auto list = ReadConfigFile(WideDataPath("config/odd_sections.ini").c_str());
  EXPECT_EQ(log.Text(), ReadFile(DataPath("expected/odd_sections_reader.log")));

  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 3u);
  const AdapterConfig& emptyDhcp = (*list)[0];  // an empty DHCP value reads as static
  EXPECT_EQ(emptyDhcp.dhcp, 0);
  EXPECT_STREQ(emptyDhcp.gateway, L" ");
  EXPECT_FALSE(emptyDhcp.dnsList);
  const AdapterConfig& yesDhcp = (*list)[1];  // "yes" is not a number
  EXPECT_EQ(yesDhcp.dhcp, 0);
  EXPECT_EQ(*yesDhcp.dnsList, AddressList{L""});
  const AdapterConfig& bareMac = (*list)[2];
  EXPECT_EQ(bareMac.dhcp, -1);
  EXPECT_EQ(Bytes(bareMac), (std::vector<unsigned>{0x00, 0x00, 0x5E, 0x00, 0x53, 0x08}));
}

TEST(ReadConfigFile, ValueStartingWithNulIsEmpty) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  auto list = ReadConfigFile(WideDataPath("config/nul_mask.ini").c_str());
  ASSERT_TRUE(list);
  EXPECT_TRUE(list->empty());  // the mask is empty: the section is dropped
}

TEST(ReadConfigFile, MissingFileAndFileWithoutSections) {
  testing::FakePlatform platform;
  {
    testing::LogCapture log;
    EXPECT_FALSE(ReadConfigFile(WideDataPath("config/does_not_exist.ini").c_str()));
    EXPECT_EQ(log.Text(), "config file not exist\n");
  }
  {
    testing::LogCapture log;
    auto list = ReadConfigFile(WideDataPath("config/no_sections.ini").c_str());
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->empty());
    EXPECT_EQ(log.Text(), "GetPrivateProfileSectionNames failed");
  }
}

TEST(ParseMacAddress, GroupsSeparatorsAndBareDigits) {
  struct Case {
    const wchar_t* text;
    int result;
    std::vector<unsigned> mac;  // from a record whose bytes start as AA
  };
  const Case cases[] = {
      {L"00:00:5e:00:53:01", 0, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}},
      {L"00-00-5E-00-53-01", 0, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}},
      {L"00:00-5e:00-53:01", 0, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}},
      {L"00005E005301", 0, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}},
      {L"00005e00530G", 0, {0x30, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},    // not all hex: one group
      {L"FFFFFF5E005301", 0, {0xFF, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},  // clamps to 32 bits
      {L"1:2:3:4:5:6:7:8", 0, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}},
      {L"0102:0304:0506", 0, {0x02, 0x04, 0x06, 0xAA, 0xAA, 0xAA}},
      {L"::::5:0x1ff0", 0, {0x00, 0x00, 0x00, 0x00, 0x05, 0xF0}},
      {L"zz:yy:xx:ww:vv", 0, {0x00, 0x00, 0x00, 0x00, 0x00, 0xAA}},
      {L"00:00:5e:00", -1, {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
      {L"", -1, {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
  };
  for (const Case& c : cases) {
    std::wstring text = c.text;
    std::uint8_t mac[kMacLength];
    std::fill(mac, mac + kMacLength, 0xAA);
    EXPECT_EQ(ParseMacAddress(&text[0], mac), c.result) << text.size();
    EXPECT_EQ(std::vector<unsigned>(mac, mac + kMacLength), c.mac) << c.text[0];
  }
}

TEST(SplitAddressList, CommasMakeItemsAndATrailingEmptyItemIsDropped) {
  struct Case {
    const wchar_t* text;
    bool hasList;
    AddressList items;
  };
  const Case cases[] = {
      {L"192.0.2.10,192.0.2.11", true, {L"192.0.2.10", L"192.0.2.11"}},
      {L"192.0.2.10,", true, {L"192.0.2.10"}},
      {L",192.0.2.10", true, {L"", L"192.0.2.10"}},
      {L"192.0.2.10,,192.0.2.11", true, {L"192.0.2.10", L"", L"192.0.2.11"}},
      {L",", true, {L""}},
      {L"192.0.2.10, 192.0.2.11", true, {L"192.0.2.10", L" 192.0.2.11"}},
      {L"", false, {}},
  };
  for (const Case& c : cases) {
    testing::LogCapture log;
    std::wstring text = c.text;
    auto list = SplitAddressList(&text[0]);
    ASSERT_EQ(static_cast<bool>(list), c.hasList) << text.size();
    if (list) {
      EXPECT_EQ(*list, c.items);
    }
    // One log line per item.
    const std::string logged = log.Text();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), static_cast<long>(c.items.size()));
  }
}

TEST(ReadInteger, FollowsWcstolWithWindowsLongRange) {
  EXPECT_EQ(ReadInteger(L"  +1", 10), 1);
  EXPECT_EQ(ReadInteger(L"-1", 10), -1);
  EXPECT_EQ(ReadInteger(L"1x", 10), 1);
  EXPECT_EQ(ReadInteger(L"0x1", 10), 0);
  EXPECT_EQ(ReadInteger(L"true", 10), 0);
  EXPECT_EQ(ReadInteger(L"99999999999", 10), INT32_MAX);
  EXPECT_EQ(ReadInteger(L"-99999999999", 10), INT32_MIN);
  EXPECT_EQ(ReadInteger(L"0X1F", 16), 31);
}

}  // namespace
}  // namespace nubora
