#include "netconfig/apply.h"

#include <cwchar>
#include <string>

#include "netconfig/command_runner.h"
#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "platform/probes.h"

namespace nubora {
namespace {

// netsh's forms, after kNetshCommandPrefix.
constexpr const wchar_t* kSetDhcp = L"%lsset address name=\"%ls\" dhcp";
constexpr const wchar_t* kSetFirstAddressLegacy =
    L"%lsset address name=\"%ls\" static %ls %ls %ls "
    L"gwmetric=1";
constexpr const wchar_t* kSetFirstAddress = L"%lsset address name=\"%ls\" static %ls %ls %ls";
constexpr const wchar_t* kAddAddress = L"%lsadd address name=\"%ls\" %ls %ls";
constexpr const wchar_t* kSetFirstDns = L"%lsset dns name=\"%ls\" static %ls validate=no";
constexpr const wchar_t* kAddDns = L"%lsadd dns name=\"%ls\" %ls validate=no";

// A command line is never run cut short: one that does not fit the runner's
// buffer is logged and skipped.
void RunFitting(const std::wstring& command) {
  if (command.size() >= kCommandLineCapacity) {
    LogValue(kCommandTooLongPrefix, command.c_str());
    return;
  }
  wchar_t buffer[kCommandLineCapacity] = {};
  std::wmemcpy(buffer, command.c_str(), command.size());
  RunCommandAndWait(buffer);
}

bool SameText(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) == 0; }

// A desired gateway of one blank stands for "no gateway in the file", which is
// what a snapshot without gateway shows as empty text.
bool SameGateway(const wchar_t* desired, const wchar_t* snapshot) {
  if (SameText(desired, L" ") && snapshot[0] == L'\0') return true;
  return SameText(desired, snapshot);
}

// Same size, and every desired entry present somewhere in the snapshot.
bool SameMembers(const AddressList& desired, const AddressList& snapshot) {
  if (desired.size() != snapshot.size()) return false;
  for (const std::wstring& wanted : desired) {
    bool present = false;
    for (const std::wstring& have : snapshot) {
      if (wanted == have) {
        present = true;
        break;
      }
    }
    if (!present) return false;
  }
  return true;
}

}  // namespace

std::int32_t IsAddressConfigChanged(const AdapterConfig& desired,
                                    const AdapterConfigList& current) {
  const AdapterConfig* snapshot = FindByMac(current, desired.mac);
  if (snapshot == nullptr) return 1;
  if (!SameText(desired.mask, snapshot->mask)) return 1;
  if (!SameGateway(desired.gateway, snapshot->gateway)) return 1;
  if (!desired.ipList || !snapshot->ipList) return 1;
  return SameMembers(*desired.ipList, *snapshot->ipList) ? 0 : 1;
}

std::int32_t IsDnsConfigChanged(const AdapterConfig& desired, const AdapterConfigList& current) {
  const AdapterConfig* snapshot = FindByMac(current, desired.mac);
  if (snapshot == nullptr) return 1;
  if (!desired.dnsList || !snapshot->dnsList) return 1;
  return SameMembers(*desired.dnsList, *snapshot->dnsList) ? 0 : 1;
}

std::int32_t ApplyAdapterConfig(const AdapterConfig& desired, const AdapterConfigList& current) {
  const wchar_t* name = desired.adapterName;
  if (desired.dhcp != 0) {
    RunFitting(FormatWide(kSetDhcp, kNetshCommandPrefix, name));
    return 0;
  }

  // The reader keeps no static record without an address; a record built any
  // other way without one has no address part to apply.
  if (!desired.ipList || desired.ipList->empty()) return 0;
  const AddressList& addresses = *desired.ipList;
  const std::wstring first =
      FormatWide(legacyOs != 0 ? kSetFirstAddressLegacy : kSetFirstAddress, kNetshCommandPrefix,
                 name, addresses[0].c_str(), desired.mask, desired.gateway);
  if (IsAddressConfigChanged(desired, current) != 0) {
    LogWideLine(kAddressChangedLine);
    RunFitting(first);
    for (std::size_t i = 1; i < addresses.size(); ++i) {
      RunFitting(
          FormatWide(kAddAddress, kNetshCommandPrefix, name, addresses[i].c_str(), desired.mask));
    }
  } else {
    LogWideLine(kAddressUnchangedLine);
  }

  if (!desired.dnsList || desired.dnsList->empty()) return 0;
  const AddressList& servers = *desired.dnsList;
  if (IsDnsConfigChanged(desired, current) != 0) {
    LogWideLine(kDnsChangedLine);
    RunFitting(FormatWide(kSetFirstDns, kNetshCommandPrefix, name, servers[0].c_str()));
    for (std::size_t i = 1; i < servers.size(); ++i) {
      RunFitting(FormatWide(kAddDns, kNetshCommandPrefix, name, servers[i].c_str()));
    }
  } else {
    LogWideLine(kDnsUnchangedLine);
  }
  return 0;
}

}  // namespace nubora
