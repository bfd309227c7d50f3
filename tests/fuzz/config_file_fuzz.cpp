// ReadConfigFile over the portable INI reader, on an arbitrary file: every
// record it keeps must be complete and fit its fields.
#include <cwchar>

#include "fuzz_support.h"
#include "netconfig/config_file.h"
#include "platform/portable_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nubora;
  const std::string nativePath = fuzz::FileWith(std::string(data, data + size));
  const std::unique_ptr<AdapterConfigList> list = ReadConfigFile(fuzz::Wide(nativePath).c_str());
  IniDocument document;
  FUZZ_CHECK(list != nullptr && LoadIniFile(nativePath, document));
  FUZZ_CHECK(list->size() <= document.sections.size());
  for (const AdapterConfig& record : *list) {
    for (const wchar_t* field : {record.mask, record.gateway}) {  // ended within its field
      FUZZ_CHECK(std::wmemchr(field, L'\0', kAddressTextCapacity) != nullptr);
    }
    FUZZ_CHECK(record.adapterName[0] == L'\0');
    if (record.dhcp != 0) {
      FUZZ_CHECK(!record.ipList && !record.dnsList && !record.mask[0] && !record.gateway[0]);
      continue;
    }
    FUZZ_CHECK(record.ipList && !record.ipList->empty() && record.mask[0] != L'\0');
    for (const auto* addresses : {record.ipList.get(), record.dnsList.get()}) {
      for (std::size_t i = 0; addresses != nullptr && i < addresses->size(); ++i) {
        FUZZ_CHECK((*addresses)[i].find(L',') == std::wstring::npos);
      }
    }
  }
  return 0;
}
