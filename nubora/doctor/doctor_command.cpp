// nubora doctor's command line: its options, its text and its JSON.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "netconfig/paths.h"
#include "nubora/cli/arguments.h"
#include "nubora/doctor/doctor.h"
#include "nubora/machine/adapters_file.h"
#include "nubora/machine/predicted_run.h"
#include "nubora/machine/stand_ins.h"
#include "nubora/runtext/run_text.h"
#include "platform/code_page.h"
#include "platform/log_file.h"
#include "platform/platform.h"
#include "platform/probes.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

using Json = nlohmann::ordered_json;

const std::wstring kDoctorExplanation =
    std::wstring(
        L"  What stands now between this machine and the network INI asks for: one\n"
        L"  finding per line, by section, with its evidence and its fix.\n"
        L"  INI        default ") +
    kConfigPath +
    L"\n"
    L"  --machine  a machine description (see examples/machine.ini), or host,\n"
    L"             the machine it runs on (the default on Windows)\n"
    L"  --json     the same as one JSON document\n"
    L"  --fix ghost-addresses  writes every non-present adapter's interface key\n"
    L"             that holds a wanted address to a .reg backup, then deletes its\n"
    L"             static values and turns DHCP on in it\n"
    L"  --backup FILE  the backup (default c:\\windows\\nubora-ghost-backup-\n"
    L"             YYYYMMDD-hhmmss.reg); restore it with reg import FILE\n"
    L"  exit code: 0 nothing worse than info, 1 a warning or an error, or a fix\n"
    L"  that failed, 2 usage error or an unreadable INI file or machine file\n";

struct Options {
  std::wstring ini, machine, backup;
  bool json = false, fix = false;
};

// The options; a usage error stays in `args`.
void ParseOptions(Arguments& args, Options& options) {
  while (args.Next()) {
    if (args.Is(L"--machine")) {
      args.Value(options.machine, L"--machine needs a value");
    } else if (args.Is(L"--backup")) {
      args.Value(options.backup, L"--backup needs a value");
    } else if (args.Is(L"--fix")) {
      std::wstring what;
      options.fix =
          args.Value(what, L"--fix mends ghost-addresses only") && what == L"ghost-addresses";
      if (!options.fix) args.Fail(L"--fix mends ghost-addresses only");
    } else if (args.Is(L"--json")) {
      options.json = true;
    } else {
      args.Operand(options.ini, L"one INI file at a time");
    }
  }
  if (!options.backup.empty() && !options.fix) args.Fail(L"--backup goes with --fix");
#if defined(_WIN32)
  if (options.ini.empty()) options.ini = kConfigPath;
  if (options.machine.empty()) options.machine = L"host";
#endif
  if (options.ini.empty()) args.Fail(L"no INI file given");
  if (options.machine.empty()) args.Fail(L"--machine FILE is needed here");
}

std::wstring DefaultBackup(Clock& clock) {
  const LocalTime now = clock.Now();
  wchar_t name[80];
  std::swprintf(name, 80, L"c:\\windows\\nubora-ghost-backup-%04d%02d%02d-%02d%02d%02d.reg",
                now.year, now.month, now.day, now.hour, now.minute, now.second);
  return name;
}

Json FindingJson(const Finding& finding) {
  Json evidence = Json::object(), commands = Json::array();
  for (const auto& item : finding.evidence) evidence[item.first] = Utf8(item.second);
  for (const std::wstring& command : finding.commands) commands.push_back(Utf8(command));
  return {{"id", finding.id},
          {"severity", SeverityText(finding.severity)},
          {"section", finding.section.empty() ? Json() : Json(Utf8(finding.section))},
          {"summary", Utf8(finding.summary)},
          {"evidence", evidence},
          {"commands", commands},
          {"fix", Utf8(finding.fix)}};
}

}  // namespace

int DoctorCommand(const std::vector<std::wstring>& list, std::string& out, std::string& err) {
  Arguments args(kDoctorSynopsis, kDoctorExplanation.c_str(), list);
  Options options;
  ParseOptions(args, options);
  int exitCode = 0;
  if (args.Done(out, err, exitCode)) return exitCode;
  InitPlatformProbes();
  if (!CurrentPlatform().ini->Exists(options.ini.c_str())) {
    return args.UsageError(L"no file at " + options.ini, err);
  }
  MachineDescription description;
  std::wstring error;
  const bool host = options.machine == L"host";
  if (!host && !LoadMachineFile(options.machine, description, error)) {
    return args.UsageError(error, err);
  }
  DescribedMachine described(description);
  const MachinePlatform machine = host ? HostMachine() : described.View();
  const std::wstring log = host ? std::wstring(kLogPath) : description.log;

  const Diagnosis diagnosis = Diagnose(options.ini, log, machine);
  if (diagnosis.adaptersError != 0) {
    err = ToMultibyte(L"nubora doctor: the adapters cannot be listed (" +
                      ErrorText(diagnosis.adaptersError) + L")\n");
    return kUsageErrorExit;
  }
  if (!diagnosis.runPlayed) {
    err = ToMultibyte(L"nubora doctor: " + std::wstring(kRunNotKept) + L"\n");
    return kUsageErrorExit;
  }
  int code = FindingsExitCode(diagnosis.findings);
  std::vector<std::wstring> fixed;
  Json fix;
  if (options.fix) {
    const std::wstring backup =
        options.backup.empty() ? DefaultBackup(*machine.clock) : options.backup;
    const bool done = FixGhostAddresses(diagnosis.findings, backup, machine, fixed);
    // What is left once the ghosts are gone.
    std::vector<Finding> left;
    for (const Finding& finding : diagnosis.findings) {
      if (std::string(finding.id) != "ghost-address" || finding.interfaceGuid.empty()) {
        left.push_back(finding);
      }
    }
    code = done ? FindingsExitCode(left) : 1;
    Json lines = Json::array();
    for (const std::wstring& line : fixed) lines.push_back(Utf8(line));
    fix = {{"backup", Utf8(backup)}, {"done", done}, {"lines", lines}};
  }
  if (options.json) {
    Json findings = Json::array();
    for (const Finding& finding : diagnosis.findings) findings.push_back(FindingJson(finding));
    const Json json = {{"ini", Utf8(options.ini)},
                       {"machine", Utf8(options.machine)},
                       {"findings", findings},
                       {"fix", fix},
                       {"exit_code", code}};
    out = json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    return code;
  }
  std::wstring text = FindingsText(diagnosis);
  if (options.fix) text += L"--fix ghost-addresses:\n";
  for (const std::wstring& line : fixed) text += L"  " + Printable(line) + L"\n";
  out = ToMultibyte(text);
  return code;
}

}  // namespace nubora
