#include "netconfig/config_file.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "fakes.h"

namespace nubora {
namespace {

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
      {L"9aBcDeF09fa9", 0, {0x9A, 0xBC, 0xDE, 0xF0, 0x9F, 0xA9}},
      {L"f9-A9-0f-Fa-99-ff", 0, {0xF9, 0xA9, 0x0F, 0xFA, 0x99, 0xFF}},
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
