// The machine file reader on an arbitrary file: a file it refuses is refused
// with the section that is wrong; of one it reads, the adapters it lists,
// written back as an adapters file, read again the same (those whose ID is
// printable ASCII: the permanent name is kept narrow).
#include <cstdio>

#include "fuzz_support.h"
#include "nubora/machine/adapters_file.h"
#include "platform/portable_ini.h"
#include "platform/text.h"

namespace {

std::wstring Addresses(const std::vector<nubora::AdapterAddress>& list, bool withPrefix) {
  std::wstring text;
  for (const nubora::AdapterAddress& address : list) {
    const auto* b = reinterpret_cast<const unsigned char*>(&address.ipv4);
    wchar_t item[32];
    std::swprintf(item, 32, withPrefix ? L"%u.%u.%u.%u/%u," : L"%u.%u.%u.%u,", b[0], b[1], b[2],
                  b[3], address.prefixLength);
    text += item;
  }
  return text;
}

// Every field the file tells, of the adapters whose ID is printable ASCII;
// UTF-8, which holds any name the reader gives.
std::string AdaptersFile(const std::vector<nubora::AdapterInfo>& adapters) {
  std::wstring text;
  for (const nubora::AdapterInfo& adapter : adapters) {
    const auto printable = [](char c) { return c > ' ' && c < 0x7F; };
    if (!std::all_of(adapter.name.begin(), adapter.name.end(), printable)) continue;
    wchar_t mac[32];
    const std::uint8_t* m = adapter.physical;
    std::swprintf(mac, 32, L"%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    text += L"[" + adapter.friendlyName + L"]\nMAC=" + mac + L"\nADDRESSES=" +
            Addresses(adapter.unicast, true) + L"\nGATEWAY=" + Addresses(adapter.gateways, false) +
            L"\nDNS=" + Addresses(adapter.dns, false) + L"\nID=" +
            nubora::fuzz::Wide(adapter.name) + L"\n";
  }
  return "\xEF\xBB\xBF" + nubora::Utf8(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nubora;
  const std::string nativePath = fuzz::FileWith(std::string(data, data + size));
  MachineDescription machine;
  std::wstring error;
  IniDocument document;
  FUZZ_CHECK(LoadIniFile(nativePath, document));
  if (!LoadMachineFile(fuzz::Wide(nativePath), machine, error)) {
    bool named = false;
    for (const IniSection& section : document.sections) {
      named = named || error.rfind(L"[" + section.name + L"] ", 0) == 0;
    }
    FUZZ_CHECK(named);
    return 0;
  }
  std::size_t addresses = 0;
  for (const AdapterInfo& adapter : machine.adapters) addresses += adapter.unicast.size();
  FUZZ_CHECK(machine.firstLook.size() == addresses && machine.laterLook.size() == addresses);
  FUZZ_CHECK(machine.adapters.size() <= machine.devices.size());

  std::vector<AdapterInfo> again;
  const std::string written = AdaptersFile(machine.adapters);
  FUZZ_CHECK(LoadAdaptersFile(fuzz::Wide(fuzz::FileWith(written, "written")), again, error) ==
             (written.size() > 3));            // an adapter is written
  FUZZ_CHECK(AdaptersFile(again) == written);  // as the writer tells every field
  return 0;
}
