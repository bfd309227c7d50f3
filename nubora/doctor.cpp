#include "nubora/doctor.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "nubora/preview.h"
#include "nubora/run_blocks.h"
#include "nubora/run_log.h"
#include "nubora/run_parser.h"
#include "nubora/run_text.h"
#include "platform/code_page.h"
#include "platform/log_file.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nubora {
namespace {

constexpr wchar_t kPostScript[] = L"c:\\windows\\ipconfig_post.bat";

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring Dotted(std::uint32_t ipv4) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&ipv4);
  return Number(bytes[0]) + L"." + Number(bytes[1]) + L"." + Number(bytes[2]) + L"." +
         Number(bytes[3]);
}

bool IsLinkLocal(std::uint32_t ipv4) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&ipv4);
  return bytes[0] == 169 && bytes[1] == 254;
}

std::wstring MacText(const std::uint8_t (&mac)[kMacLength]) {
  wchar_t text[24];
  std::swprintf(text, 24, L"%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return text;
}

const RegistryValue* FindValue(const std::vector<RegistryValue>& values, const wchar_t* name) {
  for (const RegistryValue& value : values) {
    if (Lower(value.name) == Lower(name)) return &value;
  }
  return nullptr;
}

// A REG_DWORD's number, or -1.
long long DwordOf(const RegistryValue* value) {
  if (value == nullptr || value->type != kRegDword || value->data.size() != 4) return -1;
  return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
         static_cast<long long>(value->data[3]) << 24;
}

std::wstring TextOf(Registry& registry, const std::wstring& key, const wchar_t* name) {
  std::vector<RegistryValue> values;
  if (registry.Values(key, values) != 0) return L"";
  const RegistryValue* value = FindValue(values, name);
  const std::vector<std::wstring> items =
      value != nullptr ? TextItems(*value) : std::vector<std::wstring>();
  return items.empty() ? L"" : items[0];
}

// One interface key's TCP/IP settings.
struct InterfaceKey {
  std::wstring guid;
  long long enableDhcp = -1;
  std::vector<std::wstring> addresses;
  bool present = false;
  // Static settings kept: DHCP off and some address other than 0.0.0.0.
  bool KeepsSettings() const {
    return enableDhcp == 0 && std::any_of(addresses.begin(), addresses.end(),
                                          [](const std::wstring& a) { return a != L"0.0.0.0"; });
  }
};

// What every check reads, read once.
struct Reading {
  IniReading ini;
  std::vector<AdapterInfo> adapters;
  std::vector<InterfaceKey> keys;
  bool devicesKnown = true;
  unsigned long devicesError = 0;
  std::wstring Section(std::size_t record) const {
    return ini.fates[ini.recordSection[record]].section;
  }
  const InterfaceKey* KeyOf(const std::string& adapterName) const {
    const std::wstring guid = Lower(std::wstring(adapterName.begin(), adapterName.end()));
    for (const InterfaceKey& key : keys) {
      if (Lower(key.guid) == guid) return &key;
    }
    return nullptr;
  }
};

void ReadInterfaceKeys(const MachinePlatform& machine, Reading& reading) {
  std::vector<std::wstring> present;
  for (const AdapterInfo& adapter : reading.adapters) {
    present.push_back(Lower(std::wstring(adapter.name.begin(), adapter.name.end())));
  }
  std::vector<std::wstring> devices;
  reading.devicesError = machine.devices->Present(devices);
  reading.devicesKnown = reading.devicesError == 0;
  for (const std::wstring& guid : devices) present.push_back(Lower(guid));

  const std::wstring root(kInterfacesKey);
  std::vector<std::wstring> guids;
  machine.registry->SubKeys(root.substr(0, root.size() - 1), guids);
  for (const std::wstring& guid : guids) {
    InterfaceKey key;
    key.guid = guid;
    key.present = std::find(present.begin(), present.end(), Lower(guid)) != present.end();
    std::vector<RegistryValue> values;
    machine.registry->Values(root + guid, values);
    key.enableDhcp = DwordOf(FindValue(values, L"EnableDHCP"));
    if (const RegistryValue* addresses = FindValue(values, L"IPAddress")) {
      key.addresses = TextItems(*addresses);
    }
    reading.keys.push_back(key);
  }
}

// The description of the network driver whose interface is `guid`.
std::wstring DriverDescription(Registry& registry, const std::wstring& guid) {
  const std::wstring root(kNetDriversKey);
  std::vector<std::wstring> numbers;
  registry.SubKeys(root.substr(0, root.size() - 1), numbers);
  for (const std::wstring& number : numbers) {
    if (Lower(TextOf(registry, root + number, L"NetCfgInstanceId")) == Lower(guid)) {
      return TextOf(registry, root + number, L"DriverDesc");
    }
  }
  return L"";
}

void CheckConfig(const Reading& reading, const std::wstring& ini, std::vector<Finding>& out) {
  bool allDisabled = !reading.ini.fates.empty();
  for (const SectionFate& verdict : reading.ini.fates) {
    allDisabled = allDisabled && verdict.disabled;
    if (verdict.kept || verdict.disabled) continue;
    out.push_back({"config",
                   Severity::kError,
                   verdict.section,
                   L"the service drops this section: " + verdict.reason,
                   {{"file", ini}},
                   {},
                   L"complete the section in " + ini + L", or set DISABLED=1 in it"});
  }
  for (std::size_t r = 0; r < reading.ini.sameMacAs.size(); ++r) {
    if (reading.ini.sameMacAs[r] == 0) continue;
    const std::wstring first = reading.Section(reading.ini.sameMacAs[r] - 1);
    out.push_back({"config",
                   Severity::kError,
                   reading.Section(r),
                   L"the same MAC as [" + first + L"]: a boot configures one adapter twice",
                   {{"file", ini}, {"mac", MacText((*reading.ini.records)[r].mac)}},
                   {},
                   L"keep one section for each MAC in " + ini});
  }
  if (reading.ini.records->empty() && !allDisabled) {
    out.push_back({"config",
                   Severity::kError,
                   L"",
                   L"no section becomes a record: a boot configures nothing",
                   {{"file", ini}},
                   {},
                   L"give " + ini + L" a complete section for each adapter"});
  }
}

void CheckGhostsAndMacs(const Reading& reading, const MachinePlatform& machine,
                        std::vector<Finding>& out) {
  if (!reading.devicesKnown) {
    out.push_back({"ghost-address",
                   Severity::kInfo,
                   L"",
                   L"not looked for: the present network devices cannot be listed (" +
                       ErrorText(reading.devicesError) + L")",
                   {},
                   {},
                   L"run nubora doctor on the machine itself, as an administrator"});
  }
  std::size_t keeping = 0;
  for (const InterfaceKey& key : reading.keys) {
    if (key.present || !key.KeepsSettings()) continue;
    ++keeping;
    if (!reading.devicesKnown) continue;
    for (std::size_t r = 0; r < reading.ini.records->size(); ++r) {
      const AdapterConfig& record = (*reading.ini.records)[r];
      if (record.dhcp != 0 || !record.ipList) continue;
      for (const std::wstring& address : key.addresses) {
        if (std::find(record.ipList->begin(), record.ipList->end(), address) ==
            record.ipList->end()) {
          continue;
        }
        const std::wstring name =
            TextOf(*machine.registry, kConnectionsKey + key.guid + L"\\Connection", L"Name");
        const std::wstring description = DriverDescription(*machine.registry, key.guid);
        Finding finding{"ghost-address",
                        Severity::kError,
                        reading.Section(r),
                        address + L" is kept by an adapter that is not present" +
                            (name.empty() ? L"" : L" (\"" + name + L"\")"),
                        {},
                        {},
                        L"nubora doctor --fix ghost-addresses (it writes a .reg backup first)",
                        key.guid};
        if (!name.empty()) finding.evidence.push_back({"connection", name});
        if (!description.empty()) finding.evidence.push_back({"description", description});
        finding.evidence.push_back({"interface", key.guid});
        finding.evidence.push_back({"key", L"HKLM\\" + (kInterfacesKey + key.guid)});
        finding.evidence.push_back({"address", address});
        out.push_back(finding);
      }
    }
  }
  for (std::size_t r = 0; r < reading.ini.records->size(); ++r) {
    const AdapterConfig& record = (*reading.ini.records)[r];
    if (reading.ini.sameMacAs[r] != 0 || AdapterWithMac(reading.adapters, record.mac)) continue;
    Finding finding{"mac-absent",
                    Severity::kError,
                    reading.Section(r),
                    L"no present adapter has MAC " + MacText(record.mac) +
                        L": a boot waits 210 s for it, then skips it",
                    {{"mac", MacText(record.mac)}},
                    {},
                    L"attach the adapter with this MAC, or set the new adapter's MAC in the "
                    L"section"};
    if (keeping > 0) {
      finding.evidence.push_back(
          {"hint", Number(keeping) + L" non-present adapter(s) keep settings: a driver change "
                                     L"may have replaced this one"});
    }
    out.push_back(finding);
  }
}

void CheckApipa(const Reading& reading, std::vector<Finding>& out) {
  for (std::size_t r = 0; r < reading.ini.records->size(); ++r) {
    const AdapterConfig& record = (*reading.ini.records)[r];
    const AdapterInfo* adapter = AdapterWithMac(reading.adapters, record.mac);
    if (record.dhcp != 0 || adapter == nullptr) continue;
    for (const AdapterAddress& address : adapter->unicast) {
      if (!address.present || !IsLinkLocal(address.ipv4)) continue;
      const InterfaceKey* key = reading.KeyOf(adapter->name);
      const long long dhcp = key != nullptr ? key->enableDhcp : -1;
      const std::wstring cause = dhcp == 1 ? L"DHCP is left on: the static settings are not applied"
                                 : dhcp == 0
                                     ? L"a duplicate address: the static address was refused"
                                     : L"DHCP left on, or a duplicate address";
      out.push_back(
          {"apipa",
           Severity::kError,
           reading.Section(r),
           L"\"" + adapter->friendlyName + L"\" carries " + Dotted(address.ipv4) + L": " + cause,
           {{"connection", adapter->friendlyName},
            {"interface", std::wstring(adapter->name.begin(), adapter->name.end())},
            {"address", Dotted(address.ipv4)}},
           {},
           dhcp == 0 ? L"find the other holder of the section's address (arp -a), "
                       L"then restart NuboraService (net start NuboraService)"
                     : L"restart NuboraService (net start NuboraService); nubora "
                       L"status tells what the last boot did"});
    }
  }
}

// The adapter carrying an address, and the section naming that adapter.
void Locate(const Reading& reading, std::uint32_t ipv4, std::wstring& section,
            const AdapterInfo*& carrier) {
  carrier = nullptr;
  for (const AdapterInfo& adapter : reading.adapters) {
    for (const AdapterAddress& address : adapter.unicast) {
      if (address.present && address.ipv4 == ipv4) carrier = &adapter;
    }
  }
  for (std::size_t r = 0; carrier != nullptr && r < reading.ini.records->size(); ++r) {
    if (std::memcmp(carrier->physical, (*reading.ini.records)[r].mac, kMacLength) == 0) {
      section = reading.Section(r);
      return;
    }
  }
}

void CheckDuplicates(const Reading& reading, const MachinePlatform& machine,
                     std::vector<Finding>& out) {
  std::vector<AddressDetection> first;
  const unsigned long error = machine.addresses->Read(first);
  if (error != 0) {
    out.push_back({"duplicate-address",
                   Severity::kInfo,
                   L"",
                   L"not looked for: the addresses' detection states cannot be read (" +
                       ErrorText(error) + L")",
                   {},
                   {},
                   L"none on Windows XP and 2003, which keep no such table"});
    return;
  }
  std::vector<AddressDetection> later;
  const bool tentative = std::any_of(first.begin(), first.end(), [](const AddressDetection& a) {
    return a.state == AddressState::kTentative;
  });
  // Detection takes about a second: one still tentative 3 s on is stuck.
  if (tentative) {
    machine.clock->Sleep(3000);
    machine.addresses->Read(later);
  }
  for (const AddressDetection& address : first) {
    bool stuck = false;
    for (const AddressDetection& again : later) {
      stuck = stuck || (again.ipv4 == address.ipv4 && again.state == AddressState::kTentative);
    }
    if (address.state != AddressState::kDuplicate &&
        !(address.state == AddressState::kTentative && stuck)) {
      continue;
    }
    std::wstring section;
    const AdapterInfo* carrier = nullptr;
    Locate(reading, address.ipv4, section, carrier);
    const bool duplicate = address.state == AddressState::kDuplicate;
    Finding finding{"duplicate-address",
                    duplicate ? Severity::kError : Severity::kWarning,
                    section,
                    Dotted(address.ipv4) +
                        (duplicate ? L" is a duplicate: another machine holds it, and Windows "
                                     L"never tries it again"
                                   : L" is still tentative 3 s later"),
                    {},
                    {},
                    L"find the other holder (arp -a from a neighbour), free the address, then "
                    L"restart NuboraService (net start NuboraService)"};
    if (carrier != nullptr) {
      finding.evidence.push_back({"connection", carrier->friendlyName});
      finding.evidence.push_back(
          {"interface", std::wstring(carrier->name.begin(), carrier->name.end())});
    }
    finding.evidence.push_back({"address", Dotted(address.ipv4)});
    out.push_back(finding);
  }
}

void CheckDrift(const Reading& reading, const std::wstring& ini, std::vector<Finding>& out) {
  IniFiles& files = *CurrentPlatform().ini;
  const PredictedRun run = PredictRun(reading.adapters, files, ini);
  const RunStatus status = ParseRun(SplitBlock(run.log, LocaleCodePage()), 1);
  for (const RecordEntry& record : status.records) {
    if (record.dhcp || record.foundPass == 0 || record.sameMacAs != 0) continue;
    Finding finding{"drift",
                    Severity::kWarning,
                    record.section,
                    L"\"" + record.connection +
                        L"\" differs from the section: the next boot "
                        L"changes it",
                    {{"connection", record.connection}},
                    {},
                    L"the next boot runs these commands; to apply them now, run them in order"};
    for (const PartOutcome* part : {&record.address, &record.dns}) {
      if (part->state != PartState::kChanged) continue;
      for (const CommandOutcome& command : part->commands) finding.commands.push_back(command.line);
    }
    if (!finding.commands.empty()) out.push_back(finding);
  }
}

// The executable a service's command line starts.
std::wstring ImageFile(const std::wstring& commandLine) {
  if (!commandLine.empty() && commandLine[0] == L'"') {
    return commandLine.substr(1, commandLine.find(L'"', 1) - 1);
  }
  const std::size_t exe = Lower(commandLine).find(L".exe");
  return exe == std::wstring::npos ? commandLine : commandLine.substr(0, exe + 4);
}

void CheckServices(const MachinePlatform& machine, std::vector<Finding>& out) {
  struct Service {
    const wchar_t* name;
    bool required;
    const wchar_t* install;
  };
  static const Service kServices[] = {
      {L"NuboraService", true, L"NuboraService.exe install"},
      {L"NuboraReport", false, L"nubora report --uninstall-service, then --install-service"}};
  for (const Service& service : kServices) {
    ServiceConfig config;
    const unsigned long error = machine.services->Query(service.name, config);
    const std::wstring name = service.name;
    const auto add = [&](const std::wstring& summary, const std::wstring& fix) {
      Finding finding{
          "service", Severity::kError, L"", name + L" " + summary, {{"service", name}}, {}, fix};
      if (!config.imagePath.empty()) finding.evidence.push_back({"image_path", config.imagePath});
      out.push_back(finding);
    };
    if (error == 1060) {
      if (service.required) add(L"is not registered", service.install);
      continue;
    }
    if (error != 0) {
      add(L"cannot be asked about (" + ErrorText(error) + L")", L"run as an administrator");
      continue;
    }
    if (config.startType != 2) {
      add(L"does not start automatically (start type " + Number(config.startType) + L")",
          L"sc config " + name + L" start= auto");
    }
    if (Lower(config.account) != L"localsystem") {
      add(L"runs as " + config.account + L", not LocalSystem",
          L"sc config " + name + L" obj= LocalSystem");
    }
    if (!machine.files->Exists(ImageFile(config.imagePath))) {
      add(L"starts a file that is missing: " + ImageFile(config.imagePath), service.install);
    }
  }
  const std::wstring source = kEventSourcesKey + std::wstring(L"NuboraService");
  std::vector<RegistryValue> values;
  if (machine.registry->Values(source, values) != 0) return;
  const RegistryValue* file = FindValue(values, L"EventMessageFile");
  const std::vector<std::wstring> items =
      file != nullptr ? TextItems(*file) : std::vector<std::wstring>();
  const std::wstring path = items.empty() ? L"" : items[0];
  if (path.empty() || !machine.files->Exists(path)) {
    out.push_back({"service",
                   Severity::kError,
                   L"",
                   L"the event source NuboraService names a message file that is missing: " + path,
                   {{"key", L"HKLM\\" + source}, {"message_file", path}},
                   {},
                   L"nubora report --uninstall-service, then --install-service"});
  }
}

void CheckLastBoot(const std::wstring& log, std::vector<Finding>& out) {
  SharedReadFile file;
  unsigned long error = 0;
  RunStatus run;
  std::wstring summary, fix = L"nubora status tells what the run did";
  if (!file.Open(log, error)) {
    summary = L"the service's log cannot be read (" + ErrorText(error) + L")";
    fix = L"if NuboraService has never run here: NuboraService.exe install, then restart";
  } else if (!ReadRunFromEnd(file, 1, LogCodePage(), run)) {
    summary = L"the service's log holds no run";
  } else if (run.verdict != Verdict::kConfigured && run.verdict != Verdict::kNothingToConfigure) {
    summary = L"the last boot's run: " + Widened(VerdictText(run.verdict));
    if (run.reason != nullptr) summary += L" (" + Widened(run.reason) + L")";
  } else {
    return;
  }
  out.push_back({"last-boot", Severity::kError, L"", summary, {{"log", log}}, {}, fix});
}

}  // namespace

const char* SeverityText(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kInfo:
      break;
  }
  return "info";
}

int FindingsExitCode(const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    if (finding.severity != Severity::kInfo) return 1;
  }
  return 0;
}

Diagnosis Diagnose(const std::wstring& ini, const std::wstring& log,
                   const MachinePlatform& machine) {
  Reading reading;
  reading.ini = ReadIniQuietly(ini);
  Diagnosis diagnosis;
  diagnosis.adaptersError = machine.adapters->Enumerate(reading.adapters);
  if (diagnosis.adaptersError != 0) return diagnosis;
  ReadInterfaceKeys(machine, reading);

  for (const SectionFate& verdict : reading.ini.fates) {
    diagnosis.sections.push_back(verdict.section);
  }
  std::vector<Finding>& out = diagnosis.findings;
  CheckConfig(reading, ini, out);
  CheckGhostsAndMacs(reading, machine, out);
  CheckApipa(reading, out);
  CheckDuplicates(reading, machine, out);
  CheckDrift(reading, ini, out);
  CheckServices(machine, out);
  if (!log.empty()) CheckLastBoot(log, out);
  if (!machine.files->Exists(kPostScript)) {
    out.push_back({"post-script",
                   Severity::kInfo,
                   L"",
                   std::wstring(L"no post script: each boot still starts cmd.exe for ") +
                       kPostScript + L", which ends at once (the log does not tell)",
                   {{"file", kPostScript}},
                   {},
                   L"none needed; or put the commands to run after each boot in it"});
  }
  return diagnosis;
}

std::wstring FindingLine(const Finding& finding) {
  const std::wstring section =
      finding.section.empty() ? L"" : L" [" + Printable(finding.section) + L"]";
  return Widened(SeverityText(finding.severity)) + L" " + Widened(finding.id) + section + L": " +
         Printable(finding.summary);
}

std::wstring FindingsText(const Diagnosis& diagnosis) {
  // Sections with the same name: one group.
  std::vector<std::wstring> groups;
  for (const std::wstring& section : diagnosis.sections) {
    if (std::find(groups.begin(), groups.end(), section) == groups.end()) groups.push_back(section);
  }
  groups.push_back(L"");
  std::wstring text;
  std::size_t counts[3] = {};
  for (const std::wstring& group : groups) {
    bool headed = false;
    for (const Finding& finding : diagnosis.findings) {
      if (finding.section != group) continue;
      if (!headed) text += group.empty() ? L"machine\n" : L"[" + Printable(group) + L"]\n";
      headed = true;
      ++counts[static_cast<int>(finding.severity)];
      text += L"  " + Widened(SeverityText(finding.severity)) + L" " + Widened(finding.id) + L": " +
              Printable(finding.summary) + L"\n";
      for (const auto& item : finding.evidence) {
        text += L"    " + Widened(item.first) + L": " + Printable(item.second) + L"\n";
      }
      for (const std::wstring& command : finding.commands) {
        text += L"    command: " + Printable(command) + L"\n";
      }
      text += L"    fix: " + Printable(finding.fix) + L"\n";
    }
  }
  if (diagnosis.findings.empty()) text += L"nothing stands in the way: no finding\n";
  text += Number(counts[2]) + L" error(s), " + Number(counts[1]) + L" warning(s), " +
          Number(counts[0]) + L" info\n";
  return text;
}

}  // namespace nubora
