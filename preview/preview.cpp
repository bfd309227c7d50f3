#include "preview/preview.h"

#include <clocale>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "netconfig/config_file.h"
#include "netconfig/log.h"
#include "netconfig/run.h"
#include "platform/platform.h"
#include "platform/probes.h"
#include "preview/adapters_file.h"
#include "preview/stand_ins.h"

namespace nubora {
namespace {

constexpr int kAllUsed = 0;
constexpr int kSomethingUnused = 1;
constexpr int kUsage = 2;

int Usage(const wchar_t* message) {
  if (message != nullptr) std::fwprintf(stderr, L"nubora preview: %ls\n", message);
  std::fwprintf(stderr,
                L"usage: nubora preview FILE.ini [--adapters ADAPTERS.ini|host]\n"
                L"  Shows which sections of FILE.ini become records and why the others do "
                L"not;\n"
                L"  with --adapters, also the log a run would write and its netsh command "
                L"lines.\n");
  return kUsage;
}

void Print(const std::wstring& text) { std::fputs(ToMultibyte(text).c_str(), stdout); }

std::wstring Mac(const std::uint8_t (&mac)[kMacLength]) {
  wchar_t text[32];
  std::swprintf(text, 32, L"%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return text;
}

std::wstring Joined(const AddressList* list) {
  if (list == nullptr) return L"(none)";
  std::wstring text;
  for (const std::wstring& item : *list) text += (text.empty() ? L"" : L", ") + item;
  return text.empty() ? L"(empty)" : text;
}

std::wstring Describe(const AdapterConfig& record) {
  if (record.dhcp != 0) return L"DHCP, MAC " + Mac(record.mac);
  std::wstring gateway = record.gateway;
  if (gateway == L" ") gateway = L"(none)";
  return L"static, MAC " + Mac(record.mac) + L", IP " + Joined(record.ipList.get()) + L", mask " +
         record.mask + L", gateway " + gateway + L", DNS " + Joined(record.dnsList.get());
}

bool HasAdapter(const std::vector<AdapterInfo>& adapters, const AdapterConfig& record) {
  for (const AdapterInfo& adapter : adapters) {
    bool same = true;
    for (std::size_t i = 0; i < kMacLength; ++i)
      same = same && adapter.physical[i] == record.mac[i];
    if (same) return true;
  }
  return false;
}

// Reads the file quietly and says what became of each section.
int ExplainSections(const std::wstring& path, std::vector<AdapterInfo>* adapters) {
  std::FILE* scratch = std::tmpfile();
  SetLogStream(scratch);
  std::vector<SectionVerdict> verdicts;
  std::unique_ptr<AdapterConfigList> records = ReadConfigFile(path.c_str(), &verdicts);
  SetLogStream(nullptr);
  if (scratch != nullptr) std::fclose(scratch);

  int result = kAllUsed;
  Print(L"sections:\n");
  if (verdicts.empty()) {
    Print(L"  (none: the file has no section)\n");
    result = kSomethingUnused;
  }
  for (const SectionVerdict& verdict : verdicts) {
    const wchar_t* what = verdict.kept ? L"kept" : verdict.disabled ? L"disabled" : L"dropped";
    Print(L"  [" + verdict.section + L"] " + what + L": " + verdict.reason + L"\n");
    if (!verdict.kept && !verdict.disabled) result = kSomethingUnused;
  }
  Print(L"records:\n");
  std::size_t number = 0;
  for (std::size_t v = 0, r = 0; v < verdicts.size(); ++v) {
    if (!verdicts[v].kept) continue;
    const AdapterConfig& record = (*records)[r++];
    std::wstring line =
        L"  " + std::to_wstring(++number) + L". " + verdicts[v].section + L": " + Describe(record);
    if (adapters != nullptr && !HasAdapter(*adapters, record)) {
      line += L" -- no adapter has this MAC";
      result = kSomethingUnused;
    }
    Print(line + L"\n");
  }
  if (number == 0) {
    Print(L"  (none: a run would stop with \"config file error , no configure information\")\n");
    result = kSomethingUnused;
  }
  return result;
}

void ShowRun(const std::vector<AdapterInfo>& adapters, IniFiles& ini, const std::wstring& path) {
  Platform platform = CurrentPlatform();
  RedirectedIniFiles file(ini, path);
  ListedAdapters listed(adapters);
  RecordedCommands commands;
  NoWaitClock clock(*platform.clock);
  platform.ini = &file;
  platform.adapters = &listed;
  platform.processes = &commands;
  platform.clock = &clock;
  ScopedPlatform scope(platform);

  Print(L"----- log\n");
  std::fflush(stdout);
  SetLogStream(stdout);  // keeps the run from reopening standard output
  RunConfiguration();
  LogFlush();
  SetLogStream(nullptr);
  Print(L"----- netsh command lines\n");
  for (const std::wstring& line : commands.lines) Print(line + L"\n");
  if (clock.pauses > 0) {
    Print(L"----- note\nthe run would pause " + std::to_wstring(clock.pauses) +
          L" times for 30 s (" + std::to_wstring(clock.waited / 1000) +
          L" s in all) waiting for an adapter that is missing\n");
  }
}

}  // namespace

int PreviewMain(int argc, wchar_t** argv) {
  std::wstring file, adaptersArg;
  bool withAdapters = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--adapters") {
      if (i + 1 >= argc) return Usage(L"--adapters needs a file or 'host'");
      withAdapters = true;
      adaptersArg = argv[++i];
    } else if (arg == L"-h" || arg == L"--help") {
      return Usage(nullptr);
    } else if (!arg.empty() && arg[0] == L'-') {
      return Usage((L"unknown option " + arg).c_str());
    } else if (file.empty()) {
      file = arg;
    } else {
      return Usage(L"one INI file at a time");
    }
  }
  if (file.empty()) return Usage(L"no INI file given");

  std::setlocale(LC_ALL, "");
  InitPlatformProbes();
  IniFiles& ini = *CurrentPlatform().ini;
  if (!ini.Exists(file.c_str())) return Usage((L"no file at " + file).c_str());

  std::vector<AdapterInfo> adapters;
  if (withAdapters) {
    std::wstring error;
    if (adaptersArg == L"host") {
      const unsigned long failed = CurrentPlatform().adapters->Enumerate(adapters);
      if (failed != 0) {
        return Usage((L"the adapters of this machine cannot be listed (error " +
                      std::to_wstring(failed) + L")")
                         .c_str());
      }
    } else if (!LoadAdaptersFile(adaptersArg, adapters, error)) {
      return Usage(error.c_str());
    }
  }

  const int result = ExplainSections(file, withAdapters ? &adapters : nullptr);
  if (withAdapters) ShowRun(adapters, ini, file);
  std::fflush(stdout);
  return result;
}

}  // namespace nubora
