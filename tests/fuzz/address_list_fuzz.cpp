// SplitAddressList on arbitrary text: the items are the comma-separated
// pieces, in order, without a trailing empty one; null only for empty text.
#include <vector>

#include "fuzz_support.h"
#include "netconfig/config_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nubora::fuzz::QuietLog();
  const std::wstring text = nubora::fuzz::WideText(data, size);
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.push_back(L'\0');
  const std::wstring original(buffer.data());

  const std::unique_ptr<nubora::AddressList> list = nubora::SplitAddressList(buffer.data());
  if (original.empty()) {
    FUZZ_CHECK(!list);
    return 0;
  }
  FUZZ_CHECK(list != nullptr);

  nubora::AddressList expected;
  std::size_t start = 0;
  for (std::size_t comma; (comma = original.find(L',', start)) != std::wstring::npos;
       start = comma + 1) {
    expected.push_back(original.substr(start, comma - start));
  }
  if (start < original.size()) expected.push_back(original.substr(start));
  FUZZ_CHECK(*list == expected);

  for (std::size_t i = 0; i < original.size(); ++i) {
    FUZZ_CHECK(buffer[i] == (original[i] == L',' ? L'\0' : original[i]));
  }
  return 0;
}
