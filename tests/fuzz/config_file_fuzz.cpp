// ReadConfigFile over the portable INI reader, on an arbitrary file: every
// record it keeps must be complete and fit its fields.
#include <cstdio>
#include <cwchar>
#include <string>

#include "fuzz_support.h"
#include "netconfig/config_file.h"
#include "platform/portable_ini.h"

namespace {

bool Ends(const wchar_t* field, std::size_t capacity) {
  return std::wmemchr(field, L'\0', capacity) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nubora::fuzz::QuietLog();
  const std::string& nativePath = nubora::fuzz::FileWith(data, size);
  const std::unique_ptr<nubora::AdapterConfigList> list =
      nubora::ReadConfigFile(nubora::fuzz::Wide(nativePath).c_str());
  FUZZ_CHECK(list != nullptr);
  nubora::IniDocument document;
  FUZZ_CHECK(nubora::LoadIniFile(nativePath, document));
  FUZZ_CHECK(list->size() <= document.sections.size());

  for (const nubora::AdapterConfig& record : *list) {
    FUZZ_CHECK(Ends(record.mask, nubora::kAddressTextCapacity));
    FUZZ_CHECK(Ends(record.gateway, nubora::kAddressTextCapacity));
    FUZZ_CHECK(record.adapterName[0] == L'\0');
    if (record.dhcp != 0) {
      FUZZ_CHECK(!record.ipList && !record.dnsList);
      FUZZ_CHECK(record.mask[0] == L'\0' && record.gateway[0] == L'\0');
      continue;
    }
    FUZZ_CHECK(record.ipList && !record.ipList->empty());
    FUZZ_CHECK(record.mask[0] != L'\0');
    for (const auto* addresses : {record.ipList.get(), record.dnsList.get()}) {
      if (addresses == nullptr) continue;
      for (const std::wstring& item : *addresses) {
        FUZZ_CHECK(item.find(L',') == std::wstring::npos);
      }
    }
  }
  return 0;
}
