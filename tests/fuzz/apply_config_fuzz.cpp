// ApplyAdapterConfig on arbitrary desired and current records, with processes
// that end at once: every command it runs is a netsh line that fits the
// runner's buffer, a converged adapter runs nothing, and a static adapter
// without snapshot runs one command per address and per DNS server.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "fuzz_support.h"
#include "netconfig/apply.h"
#include "netconfig/command_runner.h"
#include "preview/stand_ins.h"
#include "service/probes.h"

namespace {

using nubora::AdapterConfig;
using nubora::AddressList;

constexpr std::size_t kShortText = 29;  // any command of such parts fits the buffer
const std::uint8_t kMacs[][nubora::kMacLength] = {
    {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x02}, {}};

// Text, sometimes padded to a length the input picks directly, so that the
// lengths around the command-line capacity are reached.
std::wstring Text(FuzzedDataProvider& input, std::size_t most) {
  std::wstring text = nubora::fuzz::WideText(input.ConsumeRandomLengthString(most));
  if (input.ConsumeBool()) text.append(input.ConsumeIntegralInRange<std::size_t>(0, 200), L'9');
  return text;
}

std::unique_ptr<AddressList> List(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) return nullptr;
  auto list = std::make_unique<AddressList>();
  for (int n = input.ConsumeIntegralInRange(0, 4); n > 0; --n) list->push_back(Text(input, 48));
  return list;
}

AdapterConfig Record(FuzzedDataProvider& input) {
  AdapterConfig record;
  record.dhcp = input.ConsumeBool() ? input.ConsumeIntegral<std::int32_t>() : 0;
  record.ipList = List(input);
  record.dnsList = List(input);
  nubora::PlaceText(record.mask, Text(input, 40).c_str());
  nubora::PlaceText(record.gateway, Text(input, 40).c_str());
  const auto& mac = kMacs[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kMacs) - 1)];
  std::copy(mac, mac + nubora::kMacLength, record.mac);
  nubora::PlaceText(record.adapterName, Text(input, 80).c_str());
  return record;
}

AdapterConfig Copy(const AdapterConfig& record) {
  AdapterConfig copy;
  copy.dhcp = record.dhcp;
  if (record.ipList) copy.ipList = std::make_unique<AddressList>(*record.ipList);
  if (record.dnsList) copy.dnsList = std::make_unique<AddressList>(*record.dnsList);
  std::copy(std::begin(record.mask), std::end(record.mask), copy.mask);
  std::copy(std::begin(record.gateway), std::end(record.gateway), copy.gateway);
  std::copy(std::begin(record.mac), std::end(record.mac), copy.mac);
  std::copy(std::begin(record.adapterName), std::end(record.adapterName), copy.adapterName);
  return copy;
}

std::size_t Count(const std::unique_ptr<AddressList>& list) { return list ? list->size() : 0; }

bool AllShort(const std::unique_ptr<AddressList>& list) {
  if (!list) return true;
  for (const std::wstring& item : *list) {
    if (std::wcslen(item.c_str()) > kShortText) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nubora::fuzz::QuietLog();
  static nubora::RecordedCommands commands;  // every command ends in its first slice
  static const nubora::ScopedPlatform scope([] {
    nubora::Platform platform = nubora::CurrentPlatform();
    platform.processes = &commands;
    return platform;
  }());
  commands.lines.clear();
  commands.slicesWaited = 0;

  FuzzedDataProvider input(data, size);
  nubora::legacyOs = input.ConsumeBool() ? 1 : 0;
  const bool converged = input.ConsumeBool();
  const AdapterConfig desired = Record(input);
  nubora::AdapterConfigList current;
  if (converged) current.push_back(Copy(desired));
  for (int n = input.ConsumeIntegralInRange(0, 3); n > 0; --n) current.push_back(Record(input));
  const bool snapshot = nubora::FindByMac(current, desired.mac) != nullptr;

  FUZZ_CHECK(nubora::ApplyAdapterConfig(desired, current) == 0);

  const std::wstring netsh = L"c:\\windows\\system32\\netsh.exe interface ip ";
  for (const std::wstring& command : commands.lines) {
    FUZZ_CHECK(command.size() < nubora::kCommandLineCapacity);
    FUZZ_CHECK(command.compare(0, netsh.size(), netsh) == 0);
  }
  FUZZ_CHECK(commands.slicesWaited == commands.lines.size());

  const std::size_t issued = commands.lines.size();
  if (desired.dhcp != 0) {
    FUZZ_CHECK(issued <= 1);
    return 0;
  }
  const std::size_t addresses = Count(desired.ipList);
  const std::size_t servers = addresses == 0 ? 0 : Count(desired.dnsList);
  FUZZ_CHECK(issued <= addresses + servers);
  if (converged) FUZZ_CHECK(issued == 0);
  if (!snapshot && AllShort(desired.ipList) && AllShort(desired.dnsList)) {
    FUZZ_CHECK(issued == addresses + servers);
  }
  return 0;
}
