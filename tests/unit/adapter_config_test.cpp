#include "netconfig/adapter_config.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace nubora {
namespace {

TEST(AdapterConfig, TextIsPlacedWithNulsToTheEndOfItsField) {
  for (const std::size_t length : {0u, 15u, 29u, 30u}) {
    // A record between two guards: nothing outside the field may change.
    struct {
      wchar_t before = L'#';
      wchar_t field[kAddressTextCapacity];
      wchar_t after = L'#';
    } box;
    std::wmemset(box.field, L'x', kAddressTextCapacity);
    const std::wstring text(length, L'5');
    EXPECT_EQ(PlaceText(box.field, text.c_str()), length < kAddressTextCapacity) << length;
    const std::size_t kept = std::min<std::size_t>(length, kAddressTextCapacity - 1);
    EXPECT_EQ(std::wstring(box.field), text.substr(0, kept));
    for (std::size_t i = kept; i < kAddressTextCapacity; ++i) EXPECT_EQ(box.field[i], L'\0') << i;
    EXPECT_EQ(box.before, L'#');
    EXPECT_EQ(box.after, L'#');
  }
}

}  // namespace
}  // namespace nubora
