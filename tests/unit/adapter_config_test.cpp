#include "netconfig/adapter_config.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace nubora {
namespace {

TEST(AdapterConfig, TextIsPlacedWithNulsToTheEndOfItsField) {
  struct Case {
    std::size_t length;
    bool fits;
  };
  for (const Case c : {Case{0, true}, Case{15, true}, Case{29, true}, Case{30, false}}) {
    // A record between two guards: nothing outside the field may change.
    struct {
      wchar_t before = L'#';
      wchar_t field[kAddressTextCapacity];
      wchar_t after = L'#';
    } box;
    std::wmemset(box.field, L'x', kAddressTextCapacity);
    const std::wstring text(c.length, L'5');
    EXPECT_EQ(PlaceText(box.field, text.c_str()), c.fits) << c.length;
    const std::size_t kept = std::min<std::size_t>(c.length, kAddressTextCapacity - 1);
    EXPECT_EQ(std::wstring(box.field), text.substr(0, kept));
    for (std::size_t i = kept; i < kAddressTextCapacity; ++i) EXPECT_EQ(box.field[i], L'\0') << i;
    EXPECT_EQ(box.before, L'#');
    EXPECT_EQ(box.after, L'#');
  }
}

TEST(AdapterConfig, AppendedRecordKeepsItsListsAfterTheWorkingRecordIsReset) {
  AdapterConfig working;
  working.ipList = std::make_unique<AddressList>(AddressList{L"192.0.2.10"});
  working.dnsList = std::make_unique<AddressList>();  // present but empty
  working.mac[5] = 1;
  const AddressList* addresses = working.ipList.get();

  AdapterConfigList list;
  list.push_back(std::move(working));
  ResetToZero(working);
  EXPECT_FALSE(working.ipList);
  EXPECT_EQ(working.mac[5], 0);
  EXPECT_EQ(list[0].ipList.get(), addresses);
  ASSERT_TRUE(list[0].dnsList);
  EXPECT_TRUE(list[0].dnsList->empty());  // empty, not missing
  EXPECT_EQ(FindByMac(list, list[0].mac), &list[0]);
  const std::uint8_t other[kMacLength] = {0, 0, 0, 0, 0, 2};
  EXPECT_EQ(FindByMac(list, other), nullptr);
}

}  // namespace
}  // namespace nubora
