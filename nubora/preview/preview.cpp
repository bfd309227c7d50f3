#include "nubora/preview/preview.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "logread/run_blocks.h"
#include "logread/run_parser.h"
#include "logread/run_verdict.h"
#include "netconfig/config_file.h"
#include "netconfig/discovery.h"
#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "netconfig/run.h"
#include "nubora/cli/arguments.h"
#include "nubora/machine/adapters_file.h"
#include "nubora/machine/item_forms.h"
#include "nubora/machine/predicted_run.h"
#include "nubora/machine/stand_ins.h"
#include "nubora/runtext/run_text.h"
#include "platform/code_page.h"
#include "platform/platform.h"
#include "platform/probes.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

constexpr int kAllUsed = 0;
constexpr int kSomethingUnused = 1;

using Json = nlohmann::ordered_json;

const wchar_t kPreviewExplanation[] =
    L"  Shows which sections of FILE.ini become records and why the others do not;\n"
    L"  with --adapters, also the log a run would write and its netsh command lines;\n"
    L"  with --json, the same as one JSON document.\n";

std::wstring Joined(const AddressList* list) {
  if (list == nullptr) return L"(none)";
  std::wstring text;
  for (const std::wstring& item : *list) text += (text.empty() ? L"" : L", ") + item;
  return text.empty() ? L"(empty)" : text;
}

std::wstring Describe(const AdapterConfig& record) {
  if (record.dhcp != 0) return L"DHCP, MAC " + MacText(record.mac);
  std::wstring gateway = record.gateway;
  if (gateway == L" ") gateway = L"(none)";
  return L"static, MAC " + MacText(record.mac) + L", IP " + Joined(record.ipList.get()) +
         L", mask " + record.mask + L", gateway " + gateway + L", DNS " +
         Joined(record.dnsList.get());
}

// What the preview found, told as text or as JSON.
struct PreviewOutput {
  std::string text;  // in the locale's code page, as the log writes
  Json json = Json::object();
  int result = kAllUsed;
  void Add(const std::wstring& line) { text += ToMultibyte(line); }
};

Json AddressesJson(const AddressList* list) {
  if (list == nullptr) return nullptr;
  Json items = Json::array();
  for (const std::wstring& item : *list) items.push_back(Utf8(item));
  return items;
}

Json RecordJson(std::size_t number, const std::wstring& section, const AdapterConfig& record) {
  const bool dhcp = record.dhcp != 0;
  const std::wstring gateway = record.gateway;
  return {{"number", number},
          {"section", Utf8(section)},
          {"type", dhcp ? "dhcp" : "static"},
          {"mac", Utf8(MacText(record.mac))},
          {"ip", AddressesJson(record.ipList.get())},
          {"mask", dhcp ? Json(nullptr) : Json(Utf8(record.mask))},
          {"gateway", dhcp || gateway == L" " ? Json(nullptr) : Json(Utf8(gateway))},
          {"dns", AddressesJson(record.dnsList.get())}};
}

// Says what became of each section; without a run to judge, the exit code
// follows the file alone.
void ExplainSections(const IniReading& reading, const std::vector<AdapterInfo>* adapters,
                     PreviewOutput& shown) {
  const std::vector<SectionFate>& fates = reading.fates;
  shown.Add(L"sections:\n");
  if (fates.empty()) {
    shown.Add(L"  (none: the file has no section)\n");
    shown.result = kSomethingUnused;
  }
  Json sections = Json::array();
  for (const SectionFate& fate : fates) {
    const wchar_t* what = fate.kept ? L"kept" : fate.disabled ? L"disabled" : L"dropped";
    shown.Add(L"  [" + fate.section + L"] " + what + L": " + fate.reason + L"\n");
    sections.push_back(
        {{"name", Utf8(fate.section)}, {"verdict", Utf8(what)}, {"reason", Utf8(fate.reason)}});
    if (!fate.kept && !fate.disabled) shown.result = kSomethingUnused;
  }
  shown.Add(L"records:\n");
  Json kept = Json::array();
  std::size_t number = 0;
  for (std::size_t r = 0; r < reading.records->size(); ++r) {
    const AdapterConfig& record = (*reading.records)[r];
    const std::wstring& section = fates[reading.recordSection[r]].section;
    ++number;
    std::wstring line =
        L"  " + std::to_wstring(number) + L". " + section + L": " + Describe(record);
    Json entry = RecordJson(number, section, record);
    // The run matches both to one adapter and compares the second with the
    // adapter as it was before the first one's commands.
    entry["same_mac_as"] = nullptr;
    if (reading.sameMacAs[r] != 0) {
      const std::wstring& first = fates[reading.recordSection[reading.sameMacAs[r] - 1]].section;
      line += L" -- same adapter as [" + first + L"]";
      entry["same_mac_as"] = Utf8(first);
      shown.result = kSomethingUnused;
    }
    if (adapters != nullptr) {
      const bool found = AdapterWithMac(*adapters, record.mac) != nullptr;
      entry["adapter_found"] = found;
      if (!found) line += L" -- no adapter has this MAC";
    }
    shown.Add(line + L"\n");
    kept.push_back(entry);
  }
  if (number == 0) {
    shown.Add(L"  (none: a run would stop with \"" + std::wstring(kNoConfigurationLine) + L"\")\n");
    // Nothing was asked where every section is disabled.
    bool allDisabled = !fates.empty();
    for (const SectionFate& fate : fates) allDisabled = allDisabled && fate.disabled;
    if (allDisabled) {
      shown.Add(L"nothing to configure: every section is disabled\n");
    } else {
      shown.result = kSomethingUnused;
    }
  }
  shown.json["sections"] = sections;
  shown.json["records"] = kept;
}

// The log's lines as text: written in the code page the log converts to.
Json LogLinesJson(const std::string& bytes) {
  std::wstring text;
  if (!DecodeCodePage(bytes, LocaleCodePage(), text)) text.assign(bytes.begin(), bytes.end());
  Json lines = Json::array();
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(Utf8(line));
  }
  if (start < text.size()) lines.push_back(Utf8(text.substr(start)));
  return lines;
}

// Each misformed item on a line of its own; any makes the exit code 1.
void ExplainMisformed(const std::vector<MisformedItem>& items, PreviewOutput& shown) {
  Json misformed = Json::array();
  if (!items.empty()) {
    shown.Add(
        L"misformed items (the service puts each as it is into netsh command lines or its "
        L"log):\n");
    shown.result = kSomethingUnused;
  }
  for (const MisformedItem& item : items) {
    shown.Add(L"  [" + Printable(item.section) + L"] " + Printable(MisformedText(item)) + L"\n");
    misformed.push_back({{"section", Utf8(item.section)},
                         {"key", Utf8(item.key)},
                         {"value", Utf8(item.value)},
                         {"why", Utf8(item.why)}});
  }
  shown.json["misformed"] = misformed;
}

// False when the run cannot be played. Its command lines are not shown where
// an item is misformed: they would do more than the file asks.
bool ShowRun(const std::vector<AdapterInfo>& adapters, IniFiles& ini, const std::wstring& path,
             bool misformed, PreviewOutput& shown) {
  const PredictedRun run = PredictRun(adapters, ini, path);
  if (!run.played) return false;
  const std::string& bytes = run.log;
  shown.Add(L"----- log\n");
  shown.text += bytes;
  shown.Add(L"----- netsh command lines\n");
  Json netsh = Json::array();
  if (misformed) {
    shown.Add(L"(not shown: the misformed items above would add arguments or lines to them)\n");
    netsh = nullptr;
  }
  for (std::size_t c = 0; !misformed && c < run.netsh.size(); ++c) {
    shown.Add(run.netsh[c] + L"\n");
    netsh.push_back(Utf8(run.netsh[c]));
  }
  if (run.pauses > 0) {
    shown.Add(L"----- note\nthe run would pause " + std::to_wstring(run.pauses) + L" times for " +
              std::to_wstring(kDiscoveryPauseMs / 1000) + L" s (" +
              std::to_wstring(run.waited / 1000) +
              L" s in all) waiting for an adapter that is missing\n");
  }
  // With a run to judge, the exit code is its verdict, as status would tell it.
  const Verdict verdict = DecideVerdict(ParseRun(SplitBlock(bytes, LocaleCodePage()), 1)).verdict;
  if (!misformed) shown.result = VerdictExitCode(verdict);
  shown.json["log"] = LogLinesJson(bytes);
  shown.json["netsh"] = netsh;
  shown.json["pauses"] = run.pauses;
  shown.json["paused_seconds"] = run.waited / 1000;
  return true;
}

}  // namespace

int PreviewCommand(const std::vector<std::wstring>& list, std::string& out, std::string& err) {
  Arguments args(kPreviewSynopsis, kPreviewExplanation, list);
  std::wstring file, adaptersArg;
  bool withAdapters = false, json = false;
  while (args.Next()) {
    if (args.Is(L"--adapters")) {
      withAdapters = args.Value(adaptersArg, L"--adapters needs a file or 'host'");
    } else if (args.Is(L"--json")) {
      json = true;
    } else {
      args.Operand(file, L"one INI file at a time");
    }
  }
  if (file.empty()) args.Fail(L"no INI file given");
  int exitCode = 0;
  if (args.Done(out, err, exitCode)) return exitCode;

  InitPlatformProbes();
  IniFiles& ini = *CurrentPlatform().ini;
  if (!ini.Exists(file.c_str())) return args.UsageError(L"no file at " + file, err);

  std::vector<AdapterInfo> adapters;
  if (withAdapters) {
    std::wstring error;
    if (adaptersArg == L"host") {
      const unsigned long failed = CurrentPlatform().adapters->Enumerate(adapters);
      if (failed != 0) {
        return args.UsageError(
            L"the adapters of this machine cannot be listed (" + ErrorText(failed) + L")", err);
      }
    } else if (!LoadAdaptersFile(adaptersArg, adapters, error)) {
      return args.UsageError(error, err);
    }
  }

  PreviewOutput shown;
  shown.json["file"] = Utf8(file);
  const IniReading reading = ReadIniQuietly(file);
  ExplainSections(reading, withAdapters ? &adapters : nullptr, shown);
  const std::vector<MisformedItem> misformed = MisformedItems(reading, ini, file, adapters);
  ExplainMisformed(misformed, shown);
  if (withAdapters && !ShowRun(adapters, ini, file, !misformed.empty(), shown)) {
    err = ToMultibyte(L"nubora preview: " + std::wstring(kRunNotKept) + L"\n");
    return kUsageErrorExit;
  }
  shown.json["exit_code"] = shown.result;
  out = json ? shown.json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n" : shown.text;
  return shown.result;
}

}  // namespace nubora
