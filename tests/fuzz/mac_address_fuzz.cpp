// ParseMacAddress on arbitrary text: it must stay inside the text, change only
// the separators it consumes, and read well-formed MACs exactly.
#include <cwctype>
#include <vector>

#include "fuzz_support.h"
#include "netconfig/config_file.h"

namespace {

using nubora::kMacLength;

int Hex(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// The bytes of twelve bare digits, or of six groups of one or two digits
// separated by ':' or '-'; false for any other text.
bool WellFormed(const std::wstring& text, std::uint8_t (&mac)[kMacLength]) {
  if (text.size() == 2 * kMacLength) {
    bool bare = true;
    for (std::size_t i = 0; i < kMacLength && bare; ++i) {
      const int high = Hex(text[2 * i]), low = Hex(text[2 * i + 1]);
      bare = high >= 0 && low >= 0;
      mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    if (bare) return true;
  }
  std::size_t group = 0, digits = 0;
  unsigned value = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == L':' || text[i] == L'-') {
      if (digits == 0 || group == kMacLength) return false;
      mac[group++] = static_cast<std::uint8_t>(value);
      digits = value = 0;
    } else if (Hex(text[i]) < 0 || ++digits > 2) {
      return false;
    } else {
      value = value * 16 + static_cast<unsigned>(Hex(text[i]));
    }
  }
  return group == kMacLength;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = nubora::fuzz::WideText(data, size);
  // Exactly the text and its NUL, so that any read or write past it is caught.
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.push_back(L'\0');
  const std::wstring original(buffer.data());

  std::uint8_t mac[kMacLength] = {};
  const int result = nubora::ParseMacAddress(buffer.data(), mac);
  FUZZ_CHECK(result == (original.size() < 2 * kMacLength ? -1 : 0));
  for (std::size_t i = 0; i < original.size(); ++i) {
    const bool separator = original[i] == L':' || original[i] == L'-';
    FUZZ_CHECK(buffer[i] == original[i] || (separator && buffer[i] == L'\0'));
  }

  std::uint8_t expected[kMacLength] = {};
  if (result == 0 && WellFormed(original, expected)) {
    for (std::size_t i = 0; i < kMacLength; ++i) FUZZ_CHECK(mac[i] == expected[i]);
  }
  return 0;
}
